#pragma once

#include "engine/image/embeddedimage.h"
#include "engine/pdf/pagesetup.h"

#include <QObject>
#include <QString>

#include <optional>

namespace Ui {
class PDFSettingsPanel;
}

namespace folioset {

// The page layout the window's runs use. Not a document setting: it applies whether or not
// those are, and is kept under "PAGESETUP", apart from the "SETTINGS" entry.
//
// What is stored there and cannot be used (a name this version does not know, margins that
// leave no room) gives the image's own size, with a line in the system log saying why.
pdf::PageSetup storedPageSetup();
// False, with a line in the system log, when the preferences could not be written.
bool storePageSetup(const pdf::PageSetup &setup);

// The "Page" tab of the PDF settings sheet: the layout's controls and a drawing of the page the
// highlighted file would make.
class PageTab : public QObject
{
    Q_OBJECT

public:
    explicit PageTab(::Ui::PDFSettingsPanel &ui, QObject *parent = nullptr);

    void show(const pdf::PageSetup &setup);
    // The layout as the controls have it now.
    pdf::PageSetup setup() const;
    // The picture the drawing lays out: page `index` (0-based) of the file at `path`; with no
    // path, or one that cannot be read, a sample photo.
    void setPreviewImage(const QString &path, int index);

private:
    void refresh();
    void unitChanged();
    void showPreview(const pdf::PageSetup &setup, const QString &problem);

    ::Ui::PDFSettingsPanel &m_ui;
    pdf::LengthUnit m_unit = pdf::LengthUnit::Millimetre; // of the custom size fields
    std::optional<image::ImageFacts> m_facts;
    QString m_caption;
    bool m_filling = false;
};

} // namespace folioset
