// The entity text read into its blocks, one token at a time. Hand-edited and damaged lumps are
// common (an editor's stray brace, a quote lost in a merge): the reader says where and keeps
// what is sound.
#include "level/Entities.h"

#include <charconv>
#include <cmath>
#include <unordered_set>

namespace {

enum class TTokenKind { End, Open, Close, Word };

struct TToken {
  TTokenKind Kind = TTokenKind::End;
  std::string_view Text;  // a word's text, without its quotes
  std::int32_t Line = 0;
};

class TEntityReader {
 public:
  explicit TEntityReader(std::string_view text) : Text(text) {}

  TEntityText Read() {
    bool strayBefore = false;  // one problem for a run of stray words, not one per word
    while (true) {
      const TToken token = Next();
      if (token.Kind == TTokenKind::End) break;
      if (token.Kind == TTokenKind::Open) {
        strayBefore = false;
        if (!ReadEntity(token.Line)) break;
      } else if (token.Kind == TTokenKind::Close) {
        LazyProblem(token.Line, [] { return std::string("'}' outside any entity: skipped"); });
      } else if (!strayBefore) {
        LazyProblem(token.Line, [&] { return "text outside any entity (\"" + Shortened(token.Text) + "\"): skipped"; });
        strayBefore = true;
      }
    }
    return std::move(Result);
  }

 private:
  std::string_view Text;
  std::size_t At = 0;
  std::int32_t Line = 1;
  TEntityText Result;
  std::size_t Pairs = 0;
  std::unordered_set<std::string_view> Keys;  // of the entity being read

  static std::string Shortened(std::string_view text) {
    return text.size() <= 40 ? std::string(text) : std::string(text.substr(0, 40)) + "...";
  }

  void Problem(std::int32_t line, std::string text, bool repeatedKey = false) {
    if (KeepsProblems())
      Result.Problems.push_back({line, std::move(text), repeatedKey});
    else
      ++Result.ProblemsNotKept;
  }

  // Past the kept problems only the count goes on: a text of millions of stray braces must not
  // build a message for each (under the sanitizers that alone took most of a minute).
  bool KeepsProblems() const { return Result.Problems.size() < kMostEntityProblems; }
  template <typename TMakeText>
  void LazyProblem(std::int32_t line, TMakeText makeText) {
    if (KeepsProblems())
      Problem(line, makeText());
    else
      ++Result.ProblemsNotKept;
  }

  void EndOfText() { At = Text.size(); }

  // Blanks and comments; an unclosed comment ends the text.
  void Skip() {
    while (At < Text.size()) {
      const char c = Text[At];
      if (c == '\n') {
        ++Line;
        ++At;
      } else if (static_cast<unsigned char>(c) <= ' ') {
        ++At;
      } else if (Text.substr(At, 2) == "//") {
        const std::size_t end = Text.find('\n', At);
        At = end == std::string_view::npos ? Text.size() : end;
      } else if (Text.substr(At, 2) == "/*") {
        const std::size_t end = Text.find("*/", At + 2);
        if (end == std::string_view::npos) {
          Problem(Line, "a /* comment is not closed: the rest of the text is skipped");
          return EndOfText();
        }
        for (std::size_t i = At; i < end; ++i) Line += Text[i] == '\n';
        At = end + 2;
      } else {
        return;
      }
    }
  }

  TToken Next() {
    Skip();
    TToken token{TTokenKind::End, {}, Line};
    if (At >= Text.size()) return token;
    const char c = Text[At];
    if (c == '{' || c == '}') {
      ++At;
      token.Kind = c == '{' ? TTokenKind::Open : TTokenKind::Close;
      return token;
    }
    if (c == '"') {
      const std::size_t close = Text.find('"', At + 1);
      if (close == std::string_view::npos) {
        Problem(Line, "a quoted string is not closed: the rest of the text is skipped");
        EndOfText();
        return token;
      }
      token.Kind = TTokenKind::Word;
      token.Text = Text.substr(At + 1, close - At - 1);
      for (const char inside : token.Text) Line += inside == '\n';
      At = close + 1;
      return token;
    }
    const std::size_t start = At;
    while (At < Text.size() && static_cast<unsigned char>(Text[At]) > ' ' && Text[At] != '"' &&
           Text[At] != '{' && Text[At] != '}')
      ++At;
    token.Kind = TTokenKind::Word;
    token.Text = Text.substr(start, At - start);
    return token;
  }

  std::string Title() const { return "entity " + std::to_string(Result.Entities.size()); }

  // From after '{' to its '}'. False when the text (or the room for entities) ends first.
  bool ReadEntity(std::int32_t openLine) {
    TEntity entity;
    Keys.clear();
    std::optional<TToken> pending;
    while (true) {
      const TToken key = pending ? *pending : Next();
      pending.reset();
      if (key.Kind == TTokenKind::End) {
        Problem(openLine, Title() + " is not closed: skipped");
        return false;
      }
      if (key.Kind == TTokenKind::Close) return Keep(std::move(entity), key.Line);
      if (key.Kind == TTokenKind::Open) {
        LazyProblem(openLine, [&] {
          return Title() + " is not closed before the '{' on line " + std::to_string(key.Line) + ": skipped";
        });
        entity.clear();
        Keys.clear();
        openLine = key.Line;
        continue;
      }
      const TToken value = Next();
      if (value.Kind != TTokenKind::Word) {
        if (value.Kind != TTokenKind::End)
          LazyProblem(key.Line, [&] {
            return Title() + ": key \"" + Shortened(key.Text) + "\" has no value: skipped";
          });
        pending = value;
        continue;
      }
      if (!Keys.insert(key.Text).second) {
        if (KeepsProblems())
          Problem(key.Line, Title() + ": key \"" + Shortened(key.Text) + "\" repeated: the first value is kept", true);
        else
          ++Result.ProblemsNotKept;
        continue;
      }
      if (++Pairs > kMostEntityPairs) {
        Problem(key.Line, "more than " + std::to_string(kMostEntityPairs) +
                              " keys in the entities: the rest of the text is skipped");
        return false;
      }
      entity.emplace_back(key.Text, value.Text);
    }
  }

  bool Keep(TEntity entity, std::int32_t line) {
    if (Result.Entities.size() >= kMostEntities) {
      Problem(line, "more than " + std::to_string(kMostEntities) +
                        " entities: the rest of the text is skipped");
      return false;
    }
    Result.Entities.push_back(std::move(entity));
    return true;
  }
};

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// One number at `at` after blanks; `at` moves past it.
std::optional<float> NumberAt(std::string_view text, std::size_t& at) {
  while (at < text.size() && IsBlank(text[at])) ++at;
  const char* first = text.data() + at;
  const char* last = text.data() + text.size();
  if (first != last && *first == '+') ++first;
  float value = 0;
  const auto [end, error] = std::from_chars(first, last, value, std::chars_format::general);
  if (error != std::errc() || end == first || !std::isfinite(value)) return std::nullopt;
  at = static_cast<std::size_t>(end - text.data());
  return value;
}

bool OnlyBlanksFrom(std::string_view text, std::size_t at) {
  for (; at < text.size(); ++at)
    if (!IsBlank(text[at])) return false;
  return true;
}

}  // namespace

TEntityText ReadEntityText(std::string_view text) { return TEntityReader(text).Read(); }

std::vector<TEntity> ParseEntities(const std::string& text) { return ReadEntityText(text).Entities; }

const std::string* FindValue(const TEntity& entity, std::string_view key) {
  for (const auto& [k, v] : entity)
    if (k == key) return &v;
  return nullptr;
}

std::string ClassNameOf(const TEntity& entity) {
  const std::string* name = FindValue(entity, "classname");
  return name ? *name : std::string();
}

std::optional<TVector> ParseThreeNumbers(std::string_view text) {
  std::size_t at = 0;
  float v[3];
  for (float& component : v) {
    const std::optional<float> number = NumberAt(text, at);
    if (!number) return std::nullopt;
    component = *number;
  }
  if (!OnlyBlanksFrom(text, at)) return std::nullopt;
  return TVector{v[0], v[1], v[2]};
}

std::optional<float> ParseNumber(std::string_view text) {
  std::size_t at = 0;
  const std::optional<float> number = NumberAt(text, at);
  if (!number || !OnlyBlanksFrom(text, at)) return std::nullopt;
  return number;
}
