#pragma once

#include <QString>

class QEvent;

namespace quillark {

class Translator;

// Every text a window shows comes from the program's text table by number,
// in the operator's language; `english` keeps the window readable when a
// table lacks the number (a test's small table, a text not yet translated).
QString UiText(Translator& translator, int id, const char* english);
// The same for a window that may be built without a translator (a test's
// bare dialog): then it shows `english`.
QString UiText(Translator* translator, int id, const char* english);

// A menu command's text as a title or label: without its key letter and
// the dots that say a dialog follows ("&Language..." -> "Language").
QString PlainUiText(Translator& translator, int id, const char* english);

// Qt's own texts (a file dialog's labels, standard buttons, a line edit's
// menu) in `language` (a Translator language), from Qt's translations where
// the machine has them, else English; and the language's number and date
// format for every window. Sends no event of its own: call it before
// AnnounceLanguageChange(), which tells the windows once.
void UseQtTextsIn(int language);

// Tells every open window that the language changed. Each window retitles
// itself when it sees QEvent::LanguageChange in its changeEvent(); the event
// is posted, so windows change once the event loop runs.
void AnnounceLanguageChange();

// True for the event AnnounceLanguageChange() sends, for changeEvent().
bool IsLanguageChange(const QEvent* e);

}  // namespace quillark
