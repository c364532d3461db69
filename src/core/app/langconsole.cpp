#include "core/app/langconsole.h"

#include <charconv>
#include <string>

#include "core/access/commands.h"
#include "core/access/translator.h"
#include "core/app/console.h"
#include "core/app/dockingapp.h"

namespace quillark {
namespace {

using Lines = Console::Lines;
using Args = Console::Args;

std::string Named(Translator& translator, int language) {
  const std::string name = translator.LanguageName(language);
  return std::to_string(language) + " (" + (name.empty() ? "English texts" : name) + ")";
}

bool Offered(Translator& translator, int language) {
  const std::string name = translator.LanguageName(language);
  return !name.empty() && name != "NA";
}

Lines Language(TDockingApp& app, const Args& args) {
  Translator& translator = app.GetServices().translator;
  if (args.empty()) {
    std::string offered = "offered:";
    for (int l = 0; l < Translator::LANGUAGES; ++l)
      if (Offered(translator, l)) offered += " " + Named(translator, l);
    return {"language " + Named(translator, translator.GetCurrentLanguage()), offered};
  }
  // The whole word must be the number: "4x" or "+4" is a typing error, not
  // German.
  int language = -1;
  const std::string& word = args[0];
  auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), language);
  if (args.size() != 1 || error != std::errc() || end != word.data() + word.size() ||
      language < 0 || language >= Translator::LANGUAGES)
    return {"error: usage: language [N] (N from 0 to 17; 'language' lists them)"};
  // The language dialog lists only the languages on offer; the console
  // keeps to the same list rather than store an index nobody can choose.
  if (!Offered(translator, language))
    return {"error: language " + std::to_string(language) + " is not offered"};
  if (auto refused = CommandRefusal(app, CMD_LANGUAGE, false)) return *refused;
  translator.SetLanguage(language);
  return {"language " + Named(translator, language) + ", stored for the next start"};
}

}  // namespace

void AddLanguageWords(Console& console, TDockingApp& app) {
  console.AddWord({"language", "[N]",
                   "show the language, or switch to language N: alarm lines, event texts and "
                   "messages made after the switch read in it",
                   [&app](const Args& a) { return Language(app, a); }});
}

}  // namespace quillark
