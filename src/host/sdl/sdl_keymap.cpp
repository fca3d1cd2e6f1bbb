// sdl_keymap.cpp — SDL keys as Windows virtual-key codes.
//
// The engine's key states, key names and program events all use Windows virtual-key
// codes, so the SDL backend translates every key. Windows decides letters and digits by
// the keyboard layout (the key that types 'Q' is VK 'Q' on a French keyboard too) and
// everything else mostly by position; we do the same: SDL's keycode for Latin letters and
// digits, the scancode for the rest and for letters of non-Latin layouts. Left and right
// modifiers collapse to the generic codes Windows reports in key messages (VK_SHIFT,
// VK_CONTROL, VK_MENU), and with Num Lock off the keypad reports the navigation keys.
#include <SDL.h>

#include "host/sdl/sdl_internal.h"

namespace {

enum {
  VK_BACK = 0x08, VK_TAB = 0x09, VK_CLEAR = 0x0C, VK_RETURN = 0x0D, VK_SHIFT = 0x10,
  VK_CONTROL = 0x11, VK_MENU = 0x12, VK_PAUSE = 0x13, VK_CAPITAL = 0x14, VK_HANGUL = 0x15,
  VK_HANJA = 0x19, VK_ESCAPE = 0x1B, VK_SPACE = 0x20, VK_PRIOR = 0x21, VK_NEXT = 0x22,
  VK_END = 0x23, VK_HOME = 0x24, VK_LEFT = 0x25, VK_UP = 0x26, VK_RIGHT = 0x27,
  VK_DOWN = 0x28, VK_SELECT = 0x29, VK_EXECUTE = 0x2B, VK_SNAPSHOT = 0x2C, VK_INSERT = 0x2D,
  VK_DELETE = 0x2E, VK_HELP = 0x2F, VK_LWIN = 0x5B, VK_RWIN = 0x5C, VK_APPS = 0x5D,
  VK_SLEEP = 0x5F, VK_NUMPAD0 = 0x60, VK_MULTIPLY = 0x6A, VK_ADD = 0x6B,
  VK_SEPARATOR = 0x6C, VK_SUBTRACT = 0x6D, VK_DECIMAL = 0x6E, VK_DIVIDE = 0x6F,
  VK_F1 = 0x70, VK_F13 = 0x7C, VK_NUMLOCK = 0x90, VK_SCROLL = 0x91,
  VK_BROWSER_BACK = 0xA6, VK_BROWSER_FORWARD = 0xA7, VK_BROWSER_REFRESH = 0xA8,
  VK_BROWSER_STOP = 0xA9, VK_BROWSER_SEARCH = 0xAA, VK_BROWSER_FAVORITES = 0xAB,
  VK_BROWSER_HOME = 0xAC, VK_VOLUME_MUTE = 0xAD, VK_VOLUME_DOWN = 0xAE,
  VK_VOLUME_UP = 0xAF, VK_MEDIA_NEXT_TRACK = 0xB0, VK_MEDIA_PREV_TRACK = 0xB1,
  VK_MEDIA_STOP = 0xB2, VK_MEDIA_PLAY_PAUSE = 0xB3, VK_LAUNCH_MAIL = 0xB4,
  VK_LAUNCH_MEDIA_SELECT = 0xB5, VK_OEM_1 = 0xBA, VK_OEM_PLUS = 0xBB, VK_OEM_COMMA = 0xBC,
  VK_OEM_MINUS = 0xBD, VK_OEM_PERIOD = 0xBE, VK_OEM_2 = 0xBF, VK_OEM_3 = 0xC0,
  VK_OEM_4 = 0xDB, VK_OEM_5 = 0xDC, VK_OEM_6 = 0xDD, VK_OEM_7 = 0xDE, VK_OEM_102 = 0xE2
};

struct ScancodeKey {
  SDL_Scancode scancode;
  int vk;
};

// Keys decided by position (letters, digits, F-keys and the keypad are computed below).
const ScancodeKey SCANCODE_KEYS[] = {
    {SDL_SCANCODE_RETURN, VK_RETURN},         {SDL_SCANCODE_ESCAPE, VK_ESCAPE},
    {SDL_SCANCODE_BACKSPACE, VK_BACK},        {SDL_SCANCODE_TAB, VK_TAB},
    {SDL_SCANCODE_SPACE, VK_SPACE},           {SDL_SCANCODE_MINUS, VK_OEM_MINUS},
    {SDL_SCANCODE_EQUALS, VK_OEM_PLUS},       {SDL_SCANCODE_LEFTBRACKET, VK_OEM_4},
    {SDL_SCANCODE_RIGHTBRACKET, VK_OEM_6},    {SDL_SCANCODE_BACKSLASH, VK_OEM_5},
    {SDL_SCANCODE_NONUSHASH, VK_OEM_5},       {SDL_SCANCODE_SEMICOLON, VK_OEM_1},
    {SDL_SCANCODE_APOSTROPHE, VK_OEM_7},      {SDL_SCANCODE_GRAVE, VK_OEM_3},
    {SDL_SCANCODE_COMMA, VK_OEM_COMMA},       {SDL_SCANCODE_PERIOD, VK_OEM_PERIOD},
    {SDL_SCANCODE_SLASH, VK_OEM_2},           {SDL_SCANCODE_NONUSBACKSLASH, VK_OEM_102},
    {SDL_SCANCODE_CAPSLOCK, VK_CAPITAL},      {SDL_SCANCODE_PRINTSCREEN, VK_SNAPSHOT},
    {SDL_SCANCODE_SCROLLLOCK, VK_SCROLL},     {SDL_SCANCODE_PAUSE, VK_PAUSE},
    {SDL_SCANCODE_INSERT, VK_INSERT},         {SDL_SCANCODE_HOME, VK_HOME},
    {SDL_SCANCODE_PAGEUP, VK_PRIOR},          {SDL_SCANCODE_DELETE, VK_DELETE},
    {SDL_SCANCODE_END, VK_END},               {SDL_SCANCODE_PAGEDOWN, VK_NEXT},
    {SDL_SCANCODE_RIGHT, VK_RIGHT},           {SDL_SCANCODE_LEFT, VK_LEFT},
    {SDL_SCANCODE_DOWN, VK_DOWN},             {SDL_SCANCODE_UP, VK_UP},
    {SDL_SCANCODE_NUMLOCKCLEAR, VK_NUMLOCK},  {SDL_SCANCODE_KP_DIVIDE, VK_DIVIDE},
    {SDL_SCANCODE_KP_MULTIPLY, VK_MULTIPLY},  {SDL_SCANCODE_KP_MINUS, VK_SUBTRACT},
    {SDL_SCANCODE_KP_PLUS, VK_ADD},           {SDL_SCANCODE_KP_ENTER, VK_RETURN},
    {SDL_SCANCODE_KP_COMMA, VK_SEPARATOR},    {SDL_SCANCODE_APPLICATION, VK_APPS},
    {SDL_SCANCODE_MENU, VK_APPS},             {SDL_SCANCODE_HELP, VK_HELP},
    {SDL_SCANCODE_SELECT, VK_SELECT},         {SDL_SCANCODE_EXECUTE, VK_EXECUTE},
    {SDL_SCANCODE_CLEAR, VK_CLEAR},           {SDL_SCANCODE_SLEEP, VK_SLEEP},
    {SDL_SCANCODE_LCTRL, VK_CONTROL},         {SDL_SCANCODE_RCTRL, VK_CONTROL},
    {SDL_SCANCODE_LSHIFT, VK_SHIFT},          {SDL_SCANCODE_RSHIFT, VK_SHIFT},
    {SDL_SCANCODE_LALT, VK_MENU},             {SDL_SCANCODE_RALT, VK_MENU},
    {SDL_SCANCODE_LGUI, VK_LWIN},             {SDL_SCANCODE_RGUI, VK_RWIN},
    {SDL_SCANCODE_LANG1, VK_HANGUL},          {SDL_SCANCODE_LANG2, VK_HANJA},
    {SDL_SCANCODE_MUTE, VK_VOLUME_MUTE},      {SDL_SCANCODE_AUDIOMUTE, VK_VOLUME_MUTE},
    {SDL_SCANCODE_VOLUMEUP, VK_VOLUME_UP},    {SDL_SCANCODE_VOLUMEDOWN, VK_VOLUME_DOWN},
    {SDL_SCANCODE_AUDIONEXT, VK_MEDIA_NEXT_TRACK},
    {SDL_SCANCODE_AUDIOPREV, VK_MEDIA_PREV_TRACK},
    {SDL_SCANCODE_AUDIOSTOP, VK_MEDIA_STOP},  {SDL_SCANCODE_AUDIOPLAY, VK_MEDIA_PLAY_PAUSE},
    {SDL_SCANCODE_MAIL, VK_LAUNCH_MAIL},      {SDL_SCANCODE_MEDIASELECT, VK_LAUNCH_MEDIA_SELECT},
    {SDL_SCANCODE_AC_SEARCH, VK_BROWSER_SEARCH}, {SDL_SCANCODE_AC_HOME, VK_BROWSER_HOME},
    {SDL_SCANCODE_AC_BACK, VK_BROWSER_BACK},  {SDL_SCANCODE_AC_FORWARD, VK_BROWSER_FORWARD},
    {SDL_SCANCODE_AC_STOP, VK_BROWSER_STOP},  {SDL_SCANCODE_AC_REFRESH, VK_BROWSER_REFRESH},
    {SDL_SCANCODE_AC_BOOKMARKS, VK_BROWSER_FAVORITES},
};

// Keypad digits and the decimal key: the digit with Num Lock on, the navigation key
// printed under it with Num Lock off.
struct KeypadKey {
  SDL_Scancode scancode;
  int with_numlock, without_numlock;
};

const KeypadKey KEYPAD_KEYS[] = {
    {SDL_SCANCODE_KP_0, VK_NUMPAD0 + 0, VK_INSERT}, {SDL_SCANCODE_KP_1, VK_NUMPAD0 + 1, VK_END},
    {SDL_SCANCODE_KP_2, VK_NUMPAD0 + 2, VK_DOWN},   {SDL_SCANCODE_KP_3, VK_NUMPAD0 + 3, VK_NEXT},
    {SDL_SCANCODE_KP_4, VK_NUMPAD0 + 4, VK_LEFT},   {SDL_SCANCODE_KP_5, VK_NUMPAD0 + 5, VK_CLEAR},
    {SDL_SCANCODE_KP_6, VK_NUMPAD0 + 6, VK_RIGHT},  {SDL_SCANCODE_KP_7, VK_NUMPAD0 + 7, VK_HOME},
    {SDL_SCANCODE_KP_8, VK_NUMPAD0 + 8, VK_UP},     {SDL_SCANCODE_KP_9, VK_NUMPAD0 + 9, VK_PRIOR},
    {SDL_SCANCODE_KP_PERIOD, VK_DECIMAL, VK_DELETE},
};

}  // namespace

int ZYH_SdlVirtualKey(int keycode, int scancode, unsigned mod) {
  // Layout first: a key that types a Latin letter or a digit is that letter or digit.
  if (keycode >= SDLK_a && keycode <= SDLK_z) return 'A' + (keycode - SDLK_a);
  if (keycode >= SDLK_0 && keycode <= SDLK_9) return '0' + (keycode - SDLK_0);

  // Position next: letters of other scripts, the digit row of layouts like AZERTY.
  if (scancode >= SDL_SCANCODE_A && scancode <= SDL_SCANCODE_Z)
    return 'A' + (scancode - SDL_SCANCODE_A);
  if (scancode >= SDL_SCANCODE_1 && scancode <= SDL_SCANCODE_9)
    return '1' + (scancode - SDL_SCANCODE_1);
  if (scancode == SDL_SCANCODE_0) return '0';
  if (scancode >= SDL_SCANCODE_F1 && scancode <= SDL_SCANCODE_F12)
    return VK_F1 + (scancode - SDL_SCANCODE_F1);
  if (scancode >= SDL_SCANCODE_F13 && scancode <= SDL_SCANCODE_F24)
    return VK_F13 + (scancode - SDL_SCANCODE_F13);
  for (const KeypadKey &k : KEYPAD_KEYS)
    if (k.scancode == scancode) return (mod & KMOD_NUM) ? k.with_numlock : k.without_numlock;
  for (const ScancodeKey &k : SCANCODE_KEYS)
    if (k.scancode == scancode) return k.vk;
  return 0;
}

int ZYH_SdlVirtualKeyFromName(const char *name, bool numlock) {
  if (!name) return 0;
  SDL_Scancode scancode = SDL_GetScancodeFromName(name);
  if (scancode == SDL_SCANCODE_UNKNOWN) return 0;
  return ZYH_SdlVirtualKey(SDL_GetKeyFromScancode(scancode), scancode,
                           numlock ? KMOD_NUM : KMOD_NONE);
}
