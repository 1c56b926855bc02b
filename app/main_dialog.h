// The main window: type, see the symbol as you type, save or copy exactly
// what is shown.
#pragma once

#include <QDialog>
#include <QImage>
#include <QTimer>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

#include "form.h"

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QSpinBox;

namespace glyphrun::app {

class CColorSwatchButton;
class Preview;

// A file name from the save chooser and the extension of the type it had
// selected, which a name without one gets.
struct SaveChoice {
    QString path;
    QString extension = QStringLiteral("png");
};

class CMainDialog : public QDialog {
    Q_OBJECT
public:
    explicit CMainDialog(QWidget* parent = nullptr);
    ~CMainDialog() override;

    void SetText(const QString& text);  // and shows its symbol at once
    void OnEncode();
    void OnSave();
    void OnCopy();  // the symbol as an image on the clipboard (Ctrl+C, the context menu)

    // What is shown, which Save and Copy take; nothing after a refusal.
    const Made* Shown() const { return m_made ? &*m_made : nullptr; }
    // The form the fields describe now.
    Form ReadForm() const;

    // File names come from the save chooser; tests put their own.
    void SetSaveChooser(std::function<SaveChoice()> choose) { m_chooseSaveFile = std::move(choose); }

    // How long the preview waits after an edit before it encodes.
    static constexpr int kSettleMilliseconds = 150;

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildControls();
    QWidget* BuildPrintGroup();
    QWidget* BuildMoreGroup();
    void FillSizes();
    void Changed();             // a field was edited: encode once the typing settles
    void EncodeInBackground();  // the settled form, on a worker thread
    const Made* Current();      // the symbol of the fields as they are now, made first if they changed
    void Show(Outcome outcome, uint64_t generation);
    void SaveFiles(const Made& made, const QString& path);
    void ShowAbout();
    void LoadSettings();
    void SaveSettings() const;
    void SetStatus(const QString& text, bool failed);
    void ShowPrintedSize();

    QLineEdit* m_editText;
    QComboBox* m_comboMode;
    QComboBox* m_comboSize;
    QSpinBox* m_spinModule;
    CColorSwatchButton* m_btnBarColor;
    CColorSwatchButton* m_btnBackground;
    QSpinBox* m_spinQuietZone;
    QSpinBox* m_spinDpi;
    QDoubleSpinBox* m_spinXdim;
    QLabel* m_printedSize;  // what the X-dimension comes to at the dpi
    QComboBox* m_comboRotation;
    QCheckBox* m_checkTransparent;
    QCheckBox* m_checkGs1;
    QCheckBox* m_checkUtf8;
    QCheckBox* m_checkDmre = nullptr;  // the DMRE sizes are offered (not every reader reads them)
    QCheckBox* m_checkReaderInit;
    QSpinBox* m_spinAppendCount;
    QSpinBox* m_spinAppendId1;
    QSpinBox* m_spinAppendId2;
    QCheckBox* m_checkHri;  // the data printed under the symbol
    Preview* m_preview;
    QLabel* m_status;  // what is shown, or why nothing is

    // Each edit starts a new generation; a symbol is shown only if it was
    // made from the latest, so that a slow encode never replaces a newer one.
    uint64_t m_generation = 1;
    uint64_t m_shownGeneration = 0;
    std::optional<Made> m_made;  // the symbol of m_shownGeneration
    QTimer m_settle;
    std::vector<std::pair<const char*, QWidget*>> m_remembered;  // settings keys and their fields
    std::function<SaveChoice()> m_chooseSaveFile;
    QString m_lastFolder;  // where the last file was saved
};

}  // namespace glyphrun::app
