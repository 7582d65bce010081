// Reading shader scripts. A script is a list of `name { ... }` blocks; inside a block, directives
// take the rest of their line and stages are nested `{ ... }` blocks. Hand-written files hold
// mistakes, so a block that cannot be read is dropped whole and reading resumes after the brace
// that closes it (found by counting braces, never by recursion, so any depth costs the same).
#include <algorithm>
#include <array>
#include <string>

#include "shaders/Directives.h"
#include "shaders/Shaders.h"

namespace shaders {
namespace {

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

// What a kept shader holds in memory, as the budget of shader stages counts it.
std::size_t ShaderBytes(const TShader& shader) {
  std::size_t bytes = sizeof(TShader) + shader.Name.size() + shader.File.size() + shader.SkyFarBox.size() +
                      shader.EditorImage.size() + shader.Deforms.size() * sizeof(TDeform);
  for (const TStage& stage : shader.Stages) {
    bytes += sizeof(TStage) + stage.Map.size() + stage.TcMods.size() * sizeof(TTcMod);
    for (const std::string& frame : stage.Frames) bytes += sizeof(std::string) + frame.size();
  }
  return bytes;
}

struct TToken {
  std::string Text;  // lower case
  int Line = 0;
  bool Quoted = false;
  bool NewLine = false;  // first token on its line
  bool TooLong = false;
};

// Splits the text into tokens: runs of characters above ' ', or "quoted" runs that end at the
// closing quote or the end of the line; // and /* */ comments are skipped. Every control byte,
// including NUL, counts as white space, so binary garbage gives tokens and no surprise.
class TTokenizer {
 public:
  TTokenizer(std::string_view text, std::string_view file, TShaderTable& table)
      : Text(text), File(file), Table(table) {}

  // The next token, or nothing at the end of the text.
  std::optional<TToken> Next() {
    bool newLine = AtStart;
    AtStart = false;
    while (At < Text.size()) {
      const char c = Text[At];
      if (c == '\n') {
        ++Line;
        ++At;
        newLine = true;
      } else if (static_cast<unsigned char>(c) <= ' ') {
        ++At;
      } else if (c == '/' && At + 1 < Text.size() && Text[At + 1] == '/') {
        while (At < Text.size() && Text[At] != '\n') ++At;
      } else if (c == '/' && At + 1 < Text.size() && Text[At + 1] == '*') {
        const int startLine = Line;
        const std::size_t end = Text.find("*/", At + 2);
        const std::size_t stop = end == std::string_view::npos ? Text.size() : end + 2;
        const std::size_t lines =
            static_cast<std::size_t>(std::count(Text.begin() + static_cast<std::ptrdiff_t>(At),
                                                Text.begin() + static_cast<std::ptrdiff_t>(stop), '\n'));
        if (lines > 0) newLine = true;
        Line += static_cast<int>(lines);
        At = stop;
        if (end == std::string_view::npos) Problem(startLine, "comment not closed before the end of the file");
      } else {
        return Word(newLine);
      }
    }
    return std::nullopt;
  }

  void Problem(int line, const std::string& text) {
    ++ProblemCount;
    if (ProblemCount <= kProblemsPerScript)
      Table.Problems.push_back({std::string(File), line, text});
  }
  std::size_t Problems() const { return ProblemCount; }
  int CurrentLine() const { return Line; }

 private:
  TToken Word(bool newLine) {
    TToken token;
    token.Line = Line;
    token.NewLine = newLine;
    std::size_t start = At, end = At;
    if (Text[At] == '"') {
      token.Quoted = true;
      start = ++At;
      while (At < Text.size() && Text[At] != '"' && Text[At] != '\n') ++At;
      end = At;
      if (At < Text.size() && Text[At] == '"')
        ++At;
      else
        Problem(Line, "quote not closed on its line");
    } else {
      // Braces stand alone even when written against a word ("{map" is two tokens).
      if (Text[At] == '{' || Text[At] == '}') {
        ++At;
      } else {
        while (At < Text.size() && static_cast<unsigned char>(Text[At]) > ' ' && Text[At] != '{' &&
               Text[At] != '}' && !(Text[At] == '/' && At + 1 < Text.size() &&
                                    (Text[At + 1] == '/' || Text[At + 1] == '*')))
          ++At;
      }
      end = At;
    }
    if (end - start > kLongestToken) {
      token.TooLong = true;
      token.Text = "<" + std::to_string(end - start) + " characters>";
    } else {
      token.Text = Lower(Text.substr(start, end - start));
    }
    return token;
  }

  std::string_view Text;
  std::string_view File;
  TShaderTable& Table;
  std::size_t At = 0;
  int Line = 1;
  bool AtStart = true;
  std::size_t ProblemCount = 0;
};

bool IsBrace(const TToken& t) { return !t.Quoted && (t.Text == "{" || t.Text == "}"); }

// Directives read and left alone: they describe things bspwalk does not draw (the game's
// lighting, compiler and editor settings).
constexpr std::array kIgnoredGeneral = {
    "nopicmip", "nomipmaps", "tesssize", "entitymergable", "light", "cloudparms",
    "lightning", "fogonly", "skyparms_",
};

bool Listed(const auto& list, const std::string& word) {
  return std::find(list.begin(), list.end(), word) != list.end();
}

std::vector<std::string> Words(const std::vector<TToken>& args) {
  std::vector<std::string> words;
  words.reserve(args.size());
  for (const TToken& t : args) words.push_back(t.Text);
  return words;
}

// Reads the blocks of one script. A structural mistake sets Broken; the caller then skips to the
// brace that closes the block and drops it.
class TScriptReader {
 public:
  TScriptReader(std::string_view file, std::string_view text, TShaderTable& table)
      : File(file), Tokens(text, file, table), Table(table) {}

  void ReadAll() {
    std::optional<TToken> token = Tokens.Next();
    while (token && !Table.Full) {
      if (IsBrace(*token) || token->TooLong) {
        Tokens.Problem(token->Line, "expected a shader name, found '" + token->Text + "'");
        token = SkipBlock(*token);
        continue;
      }
      TToken name = *token;
      token = Tokens.Next();
      if (!token || token->Text != "{" || token->Quoted) {
        Tokens.Problem(name.Line, "shader '" + name.Text + "' has no '{'");
        continue;  // the token after the name may itself be the next shader's name
      }
      // A block left unclosed before the next shader's name hands that name back to read next.
      std::optional<TToken> restart;
      token = ReadBody(name, restart);
      while (restart && !Table.Full) {
        name = *restart;
        restart.reset();
        token = ReadBody(name, restart);
      }
    }
    if (Tokens.Problems() > kProblemsPerScript)
      Table.Problems.push_back({std::string(File), Tokens.CurrentLine(),
                                std::to_string(Tokens.Problems() - kProblemsPerScript) +
                                    " more problems not listed"});
  }

 private:
  // Skips from a token to just past the brace that brings the depth back to zero, counting from
  // the depth the token leaves; returns the token after it.
  std::optional<TToken> SkipTo(int depth, std::optional<TToken> token) {
    while (token && depth > 0) {
      if (!token->Quoted && token->Text == "{") ++depth;
      if (!token->Quoted && token->Text == "}") --depth;
      token = Tokens.Next();
    }
    return token;
  }
  std::optional<TToken> SkipBlock(const TToken& stray) {
    if (stray.Text == "{" && !stray.Quoted) return SkipTo(1, Tokens.Next());
    return Tokens.Next();
  }

  // The rest of the directive's line, in a vector kept from one directive to the next.
  const std::vector<TToken>& Arguments(std::optional<TToken>& token) {
    Args.clear();
    token = Tokens.Next();
    while (token && !token->NewLine && !IsBrace(*token)) {
      if (Args.size() < kMostArguments) Args.push_back(std::move(*token));
      token = Tokens.Next();
    }
    return Args;
  }

  // After the name's '{': directives and stages up to the closing '}'. Returns the token after it,
  // or sets `restart` to the name of a shader that starts before this one is closed.
  std::optional<TToken> ReadBody(const TToken& name, std::optional<TToken>& restart) {
    TShader shader;
    DroppedStages = false;
    shader.Name = name.Text;
    shader.File = std::string(File);
    shader.Line = name.Line;
    bool broken = false;
    std::optional<TToken> token = Tokens.Next();
    while (token && !broken) {
      if (token->TooLong) {
        Tokens.Problem(token->Line, "token of " + token->Text + " in shader '" + name.Text + "'");
        broken = true;
        BrokenDepth = 1;
        break;
      }
      if (!token->Quoted && token->Text == "}") {
        Store(std::move(shader));
        return Tokens.Next();
      }
      if (!token->Quoted && token->Text == "{") {
        token = ReadStage(shader, broken);
        continue;
      }
      const TToken keyword = std::move(*token);
      const std::vector<TToken>& args = Arguments(token);
      // A name at the start of a line followed by '{' on a later line is the next shader: this one
      // lacks its closing brace.
      if (args.empty() && token && token->NewLine && !token->Quoted && token->Text == "{" &&
          keyword.NewLine && keyword.Text.find('/') != std::string::npos) {
        Tokens.Problem(keyword.Line, "shader '" + name.Text + "' not closed before '" +
                                         keyword.Text + "'");
        restart = keyword;
        return token;
      }
      General(shader, keyword, args);
    }
    if (!token) {
      if (!broken)
        Tokens.Problem(name.Line, "shader '" + name.Text + "' not closed before the end of the file");
      return std::nullopt;
    }
    // Broken inside a stage (depth 2) or at the body (depth 1): skip what remains of the block.
    return SkipTo(BrokenDepth, std::move(token));
  }

  // After a stage's '{'. Returns the token after its '}'; sets broken on a mistake that leaves the
  // block's structure unknown.
  std::optional<TToken> ReadStage(TShader& shader, bool& broken) {
    TStage stage;
    bool hasMap = false;
    std::optional<TToken> token = Tokens.Next();
    while (token) {
      if (token->TooLong) {
        Tokens.Problem(token->Line, "token of " + token->Text + " in shader '" + shader.Name + "'");
        break;
      }
      if (!token->Quoted && token->Text == "}") {
        if (shader.Stages.size() < kMostStages) {
          shader.Stages.push_back(std::move(stage));
        } else if (!DroppedStages) {
          DroppedStages = true;
          Tokens.Problem(token->Line, "shader '" + shader.Name + "' has more than " +
                                          std::to_string(kMostStages) + " stages; the rest are not kept");
        }
        return Tokens.Next();
      }
      if (!token->Quoted && token->Text == "{") {
        Tokens.Problem(token->Line, "'{' inside a stage of shader '" + shader.Name + "'");
        broken = true;
        BrokenDepth = 3;
        return Tokens.Next();
      }
      const TToken keyword = std::move(*token);
      const std::vector<TToken>& args = Arguments(token);
      StageDirective(shader, stage, hasMap, keyword, args);
    }
    if (!token) {
      Tokens.Problem(shader.Line, "shader '" + shader.Name + "' not closed before the end of the file");
      broken = true;
      return std::nullopt;
    }
    broken = true;
    BrokenDepth = 2;
    return Tokens.Next();
  }

  void General(TShader& shader, const TToken& keyword, const std::vector<TToken>& args) {
    const std::string& k = keyword.Text;
    const auto first = [&]() -> std::string { return args.empty() ? "" : args[0].Text; };
    if (k == "surfaceparm") {
      const std::string p = first();
      if (p == "nodraw") shader.NoDraw = true;
      if (p == "sky") shader.Sky = true;
      if (p == "trans") shader.Trans = true;
      if (p == "nolightmap") shader.NoLightmap = true;
      if (p == "fog") shader.Fog = true;
    } else if (k == "cull") {
      const std::string c = first();
      if (c == "none" || c == "twosided" || c == "disable")
        shader.Cull = TCull::None;
      else if (c == "back" || c == "backside" || c == "backsided")
        shader.Cull = TCull::Back;
      else if (c == "front" || c.empty())
        shader.Cull = TCull::Front;
      else
        Tokens.Problem(keyword.Line, "cull '" + c + "' is not front, back or none");
    } else if (k == "portal") {
      shader.Portal = true;
    } else if (const auto problem = detail::MotionDirective(shader, k, Words(args))) {
      if (!problem->empty()) Tokens.Problem(keyword.Line, *problem);
    } else if (k == "qer_editorimage") {
      shader.EditorImage = first();
    } else if (k.starts_with("q3map_") || k.starts_with("qer_") || Listed(kIgnoredGeneral, k)) {
      // read and not drawn
    } else {
      Tokens.Problem(keyword.Line, "unknown directive '" + k + "' in shader '" + shader.Name + "'");
    }
  }

  void StageDirective(TShader& shader, TStage& stage, bool& hasMap, const TToken& keyword,
                      const std::vector<TToken>& args) {
    if (const auto problem = detail::StageDirective(stage, hasMap, keyword.Text, Words(args), shader.Name))
      Tokens.Problem(keyword.Line, *problem);
  }

  void Store(TShader&& shader) {
    if (Table.Shaders.size() >= Table.MostShaders && !Table.Shaders.contains(shader.Name)) {
      Table.Full = true;
      return;
    }
    const std::size_t bytes = ShaderBytes(shader);
    if (bytes > Table.MostBytes - std::min(Table.Bytes, Table.MostBytes) && !Table.Shaders.contains(shader.Name)) {
      Table.Full = Table.FullOfBytes = true;
      return;
    }
    std::string key = shader.Name;
    if (Table.Shaders.try_emplace(std::move(key), std::move(shader)).second)
      Table.Bytes += bytes;
    else
      ++Table.Duplicates;
  }

  std::string_view File;
  TTokenizer Tokens;
  TShaderTable& Table;
  int BrokenDepth = 1;
  bool DroppedStages = false;  // the shader being read has told of its stages past kMostStages
  std::vector<TToken> Args;
};

}  // namespace

const TShader* TShaderTable::Find(std::string_view name) const {
  const auto found = Shaders.find(Lower(name));
  return found == Shaders.end() ? nullptr : &found->second;
}

void ReadShaderScript(std::string_view fileName, std::string_view text, TShaderTable& table) {
  TScriptReader(fileName, text, table).ReadAll();
  ++table.ScriptCount;
}

}  // namespace shaders
