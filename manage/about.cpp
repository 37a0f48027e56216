#include "manage/about.h"

const char aboutText[] =
    "Nimbrel V1.2  Date: 06.12.2026\n"
    "by the Nimbrel team\n"
    "\n"
    "Homepage:\n"
    "nimbrel.example.org\n"
    "E-Mail:\n"
    "team@nimbrel.example.org\n"
    "Support:\n"
    "forum.nimbrel.example.org";
