#pragma once
// What the platform layer offers, at a glance: the desktop as the core sees
// it and plain-text files.
//
//   Desktop: message and input boxes, file dialogues, status panels, Yield,
//            the clock and the date (desktop.h)
//   ScriptedDesktop: a Desktop answered from a script or by rule, for tests
//            and the headless runner (scripted_desktop.h)
//   ReadTextLines, SaveTextFileAtomically, ToCrLf, BareFileName (text_file.h)

#include "platform/desktop.h"
#include "platform/scripted_desktop.h"
#include "platform/text_file.h"
