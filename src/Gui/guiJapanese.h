#pragma once

#include <QString>

class QCoreApplication;

// What makes Qt's own parts of the window Japanese on any desktop: the translations of Qt's
// dialogs and buttons ("キャンセル", the folder chooser), and a face that can show Japanese.
class guiJapanese {
public:
    // Loads Qt's Japanese translations into the application; false when they are not
    // installed (the dialogs then stay in English).
    static bool installTranslations(QCoreApplication& application);
    // The desktop's Japanese sans-serif face as fontconfig chooses it; empty when none.
    static QString sansSerifFamily();
    // The face to use for a setting: the one named when this desktop has it, otherwise the
    // Japanese sans-serif face (the Windows default "ＭＳ Ｐゴシック" exists on no Linux desktop).
    static QString familyFor(const QString& named);
};
