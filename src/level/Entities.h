#pragma once
// The entity lump's text: the level's things (spawn points, items, lights, doors, triggers) as
// blocks of quoted key/value pairs. One reader for every use of it: spawn points, the entity list,
// markers, items and --goto. Pure: text in, entities and the problems met out.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "genom/genom.h"

// One entity: its key/value pairs in the order the text gives them, values as written. A key
// repeated inside one block keeps its first value.
using TEntity = std::vector<std::pair<std::string, std::string>>;

// What the text gets wrong, with the line (from 1) where the wrong thing starts.
struct TEntityProblem {
  std::int32_t Line = 0;
  std::string Text;
  bool RepeatedKey = false;  // a key given twice in one entity: told with --verbose only
};

struct TEntityText {
  std::vector<TEntity> Entities;
  std::vector<TEntityProblem> Problems;  // at most kMostEntityProblems
  std::size_t ProblemsNotKept = 0;       // the ones past that
};

// A level has a few hundred entities of a few pairs each (OpenArena's largest: 570). Past these
// bounds the rest of the text is skipped, so that a hostile lump costs time and memory in
// proportion to its size and never more than these many records.
inline constexpr std::size_t kMostEntities = std::size_t{1} << 16;
inline constexpr std::size_t kMostEntityPairs = std::size_t{1} << 18;
inline constexpr std::size_t kMostEntityProblems = 100;

// Reads the whole text: blocks { "key" "value" ... }, keys and values quoted (a quoted string
// holds anything up to the next quote, braces and line breaks included) or bare words; // and
// /* */ comments outside strings. Never fails: an unclosed string, comment or block ends the
// reading, a block that is not closed before the next '{' is skipped, a key without a value is
// dropped, text outside a block is skipped; each is a problem naming its line.
TEntityText ReadEntityText(std::string_view text);

// The entities of ReadEntityText, without the problems.
std::vector<TEntity> ParseEntities(const std::string& text);

// The value of `key` in the entity (its first), or null.
const std::string* FindValue(const TEntity& entity, std::string_view key);
// The "classname" value, empty when there is none.
std::string ClassNameOf(const TEntity& entity);

// Three finite numbers separated by blanks and nothing else ("64 -128 24.5"); nothing otherwise.
std::optional<TVector> ParseThreeNumbers(std::string_view text);
// One finite number with optional blanks around it; nothing otherwise.
std::optional<float> ParseNumber(std::string_view text);
