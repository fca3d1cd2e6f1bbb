// language.h — the user's language, as the game's launcher tells it on the command line.
//
// A game started with a language name among its arguments ("mygame German") runs in
// that language: prog.xml's locale="auto" and the GetLanguage system query both ask here.
#pragma once

// The first of English, Spanish, French, Italian, Portuguese, German, Mandarin, Chinese,
// Japanese, Korean, Arabic, Hindi, Urdu, Bengali, Punjabi, Russian (in that order) that
// occurs anywhere in the command line, spelled as here; null when none does.
const char *ZYI_GetLanguage(void);
