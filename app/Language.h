#pragma once

// The user interface is Spanish whatever the system's language: Qt's own texts (the standard buttons of the
// dialogs, the boxes' context menus, "Show Details...") come from Qt's Spanish translations (the window's own
// sentences are Spanish without them: app/WindowText.h). Needs an application object; returns false, after a
// warning, when Qt's translations are not installed.
bool installSpanishTranslations();
