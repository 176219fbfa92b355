// Messages in the user's language. The program's texts are the message ids: the Japanese texts
// of its message boxes and our own English lines on stderr. A catalogue for the user's
// LC_MESSAGES (LC_ALL, LC_MESSAGES or LANG; LANGUAGE too, unless the locale is C) gives the
// text in that language; with none (the C and POSIX locales) the id itself is shown,
// byte for byte. LC_MESSAGES and, for the main thread, LC_CTYPE (the system's reasons come in the
// user's language and characters) are taken from the environment; number formatting stays C, so the
// log, traces and help lines print their figures with '.' whatever the user's locale. Translations
// are UTF-8. The debug log is never translated.
#pragma once

#include <string>

// Takes LC_MESSAGES (and, for the calling thread, LC_CTYPE) from the environment and binds the
// program's catalogue: the installed one
// (../share/locale beside the executable) or, in the build tree, the one the build compiled
// (locale/ beside the executable). Idempotent; Translate calls it on first use.
void InitMessages();

// The text for `msgid` (UTF-8) in the user's language, or `msgid` itself.
// format_arg: a printf format keeps its checks through the translation.
__attribute__((format_arg(1))) const char* Translate(const char* msgid);

// The form of `one` / `many` for the count `n` in the user's language (English: `one` for 1).
__attribute__((format_arg(1))) __attribute__((format_arg(2))) const char*
TranslatePlural(const char* one, const char* many, unsigned long n);

// printf into a string, for a message made before it is shown: FormatText(_("...%s"), ...).
std::string FormatText(const char* format, ...) __attribute__((format(printf, 1, 2)));

// `_("text")` marks a text to translate where it is shown; `N_("text")` marks one that is
// translated later (by MessageBoxA, say), so the catalogue's tools still find it.
#define _(text) Translate(text)
#define N_(text) text
