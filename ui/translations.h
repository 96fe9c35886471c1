#pragma once

namespace gompertz::ui {

// Qt's own texts (file dialogs, the question before replacing a file, the
// cells' context menu) in Spanish, whatever the machine's language: Qt's
// Spanish translations, from the system's translations folder. False when
// they are not installed; Qt's texts then stay in English.
bool installSpanishQtTexts();

} // namespace gompertz::ui
