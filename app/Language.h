#pragma once

// The user interface is Spanish whatever the system's language: Qt's own texts (the standard buttons of the
// dialogs, the boxes' context menus, "Show Details...") come from Qt's Spanish translations. Needs an application
// object; returns false, after a warning, when the translations are not installed.
bool installSpanishTranslations();
