// The main window: type, encode, see, save.
#pragma once

#include <QDialog>
#include <functional>
#include <optional>
#include <string>

#include "glyphrun/ecc200.h"
#include "glyphrun/gr_image.h"
#include "glyphrun/symbol.h"
#include "glyphrun/write.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace glyphrun::app {

class CColorSwatchButton;

class CMainDialog : public QDialog {
    Q_OBJECT
public:
    // The preview at the window's smallest size, which is its first; the
    // controls start just above its lower edge.
    static constexpr int kPreviewWidth = 620, kPreviewHeight = 313, kControlsTop = kPreviewHeight - 2;

    explicit CMainDialog(QWidget* parent = nullptr);

    void OnEncode();
    void OnSave();
    void OnCopy();  // the symbol as an image on the clipboard (Ctrl+C, the context menu)
    const GrImage& Image() const { return m_image; }

    // Messages go to a message box, and file names come from the save
    // chooser; tests put their own.
    void SetNotifier(std::function<void(const QString&)> notify) { m_notify = std::move(notify); }
    void SetSaveChooser(std::function<QString()> choose) { m_chooseSaveFile = std::move(choose); }

    // The scheme of each drop-down item, in the order of the items; AutoBest
    // for no item (text typed into the box that names none).
    static EncodeScheme SchemeForItem(int item);

protected:
    void paintEvent(QPaintEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    bool ReadNumber(QLineEdit* field, const QString& name, int low, int high, int& value);
    bool ReadData(std::string& bytes, DataMeaning& meaning);
    void RefuseText(const QString& message);
    void ShowAbout();
    void LoadSettings();
    void SaveSettings();
    QSize PreviewArea() const;  // the window above the controls
    QImage Drawn(int width, int height, int x, int y, int cx, int cy, const QColor& fill);

    QComboBox* m_comboMode;
    CColorSwatchButton* m_btnBarColor;
    CColorSwatchButton* m_btnBackground;
    QLineEdit* m_editSizePattern;
    QLineEdit* m_editMargin;
    QLineEdit* m_editModuleSize;
    QLineEdit* m_editText;
    QCheckBox* m_checkGs1;
    QCheckBox* m_checkUtf8;
    QCheckBox* m_checkHri;           // the data printed under the symbol
    QCheckBox* m_checkDmre;          // sizePattern may be a DMRE size, and -2 may choose one
    QWidget* m_controls;             // everything under the preview
    QLabel* m_status;                // under the preview: what the last Encode made, or why it failed
    GrImage m_image;                 // m_symbol drawn in m_style, for the preview and Copy
    std::optional<Symbol> m_symbol;  // the last encode's symbol: what Save writes and m_image shows
    Style m_style;                   // and its look
    std::function<void(const QString&)> m_notify;
    std::function<QString()> m_chooseSaveFile;
    QString m_lastFolder;  // where the last file was saved
};

}  // namespace glyphrun::app
