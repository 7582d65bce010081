#pragma once
// The directives of a shader block and of its stages, word by word: what ShaderScript.cpp's reader
// hands over once it has split a line into its keyword and arguments (lower case). Internal to
// the shaders room.
#include <optional>
#include <span>
#include <string>

#include "shaders/Shaders.h"

namespace shaders::detail {

// A directive inside a stage. `hasMap` tells whether the stage has taken its map already (the
// first map of a stage counts). Returns the problem to report, if any.
std::optional<std::string> StageDirective(TStage& stage, bool& hasMap, const std::string& keyword,
                                          std::span<const std::string> args, const std::string& shader);

// The directives of a shader's body that shape or animate it: deformVertexes, fogparms,
// skyparms, sort, polygonOffset. Nothing when the keyword is none of them; otherwise the problem
// to report, or an empty text.
std::optional<std::string> MotionDirective(TShader& shader, const std::string& keyword,
                                           std::span<const std::string> args);

}  // namespace shaders::detail
