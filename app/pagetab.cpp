#include "pagetab.h"

#include "ui_PDFSettingsPanel.h"

#include "engine/image/fileimagesource.h"
#include "engine/pdf/pagelayout.h"
#include "platform/preferences.h"
#include "platform/systemlog.h"

#include <QFileInfo>
#include <QLineEdit>

namespace folioset {

namespace {

const QString pageSetupKey = QStringLiteral("PAGESETUP");

// What the drawing shows when there is no file to show: a photo of 4:3 without a resolution.
constexpr image::ImageFacts kSamplePhoto{800, 600, {}, 1};

QString millimetres(double points)
{
    return pdf::lengthText(points, pdf::LengthUnit::Millimetre);
}

} // namespace

pdf::PageSetup storedPageSetup()
{
    const Preferences preferences;
    if (!preferences.contains(pageSetupKey))
        return {};
    QString problem;
    if (const auto setup = pdf::pageSetupFromMap(preferences.value(pageSetupKey), &problem))
        return *setup;
    systemLog(QStringLiteral("The stored page layout cannot be used (%1): pages take the "
                             "image's own size")
                  .arg(problem));
    return {};
}

bool storePageSetup(const pdf::PageSetup &setup)
{
    QString reason;
    if (Preferences().setValue(pageSetupKey, pdf::pageSetupToMap(setup), &reason))
        return true;
    logError(QStringLiteral("storePageSetup"), reason);
    return false;
}

PageTab::PageTab(::Ui::PDFSettingsPanel &ui, QObject *parent) : QObject(parent), m_ui(ui)
{
    for (QComboBox *popup : {ui.pageSizePopup, ui.pageOrientationPopup, ui.pageFitPopup})
        connect(popup, &QComboBox::currentIndexChanged, this, &PageTab::refresh);
    connect(ui.pageUnitPopup, &QComboBox::currentIndexChanged, this, &PageTab::unitChanged);
    for (QDoubleSpinBox *field : {ui.pageWidthField, ui.pageHeightField, ui.marginTopField,
                                  ui.marginRightField, ui.marginBottomField, ui.marginLeftField})
        connect(field, &QDoubleSpinBox::valueChanged, this, &PageTab::refresh);
    connect(ui.defaultDpiField, &QSpinBox::valueChanged, this, &PageTab::refresh);
    for (QDoubleSpinBox *margin :
         {ui.marginTopField, ui.marginRightField, ui.marginBottomField, ui.marginLeftField})
        margin->setRange(0, pdf::fromPoints(pdf::kLargestPageSide, pdf::LengthUnit::Millimetre));
    ui.defaultDpiField->setRange(1, int(pdf::kLargestDefaultDpi));
    ui.pageProblemLabel->hide();
    // Room for the longest caption, so that the sheet keeps its size as the choices change.
    ui.pagePreviewCaption->setMinimumHeight(7 * ui.pagePreviewCaption->fontMetrics().lineSpacing());
    // Focus lands in a spin box's own text field, which a screen reader names on its own.
    for (QAbstractSpinBox *spin : ui.pagePage->findChildren<QAbstractSpinBox *>()) {
        if (auto *text = spin->findChild<QLineEdit *>())
            text->setAccessibleName(spin->accessibleName());
    }
}

void PageTab::show(const pdf::PageSetup &setup)
{
    m_filling = true;
    m_ui.pageSizePopup->setCurrentIndex(int(setup.paper));
    // A paper that is not custom leaves A4 in the custom fields, to start from.
    const bool custom = setup.paper == pdf::PaperSize::Custom;
    m_unit = custom ? setup.customUnit : pdf::LengthUnit::Millimetre;
    const QSizeF size =
        custom ? setup.customSize : QSizeF(pdf::toPoints(210, m_unit), pdf::toPoints(297, m_unit));
    m_ui.pageUnitPopup->setCurrentIndex(int(m_unit));
    for (QDoubleSpinBox *field : {m_ui.pageWidthField, m_ui.pageHeightField})
        field->setRange(pdf::fromPoints(pdf::kSmallestPageSide, m_unit),
                        pdf::fromPoints(pdf::kLargestPageSide, m_unit));
    m_ui.pageWidthField->setValue(pdf::fromPoints(size.width(), m_unit));
    m_ui.pageHeightField->setValue(pdf::fromPoints(size.height(), m_unit));
    m_ui.pageOrientationPopup->setCurrentIndex(int(setup.orientation));
    m_ui.pageFitPopup->setCurrentIndex(int(setup.fit));
    const pdf::Margins &m = setup.margins;
    const auto mm = [](double points) {
        return pdf::fromPoints(points, pdf::LengthUnit::Millimetre);
    };
    m_ui.marginTopField->setValue(mm(m.top));
    m_ui.marginRightField->setValue(mm(m.right));
    m_ui.marginBottomField->setValue(mm(m.bottom));
    m_ui.marginLeftField->setValue(mm(m.left));
    m_ui.defaultDpiField->setValue(qRound(setup.defaultDpi));
    m_filling = false;
    refresh();
}

pdf::PageSetup PageTab::setup() const
{
    pdf::PageSetup setup;
    setup.paper = pdf::PaperSize(std::max(0, m_ui.pageSizePopup->currentIndex()));
    if (setup.paper == pdf::PaperSize::Custom) {
        setup.customUnit = m_unit;
        setup.customSize = QSizeF(pdf::toPoints(m_ui.pageWidthField->value(), m_unit),
                                  pdf::toPoints(m_ui.pageHeightField->value(), m_unit));
    }
    setup.orientation =
        pdf::PageOrientation(std::max(0, m_ui.pageOrientationPopup->currentIndex()));
    setup.fit = pdf::ImageFit(std::max(0, m_ui.pageFitPopup->currentIndex()));
    const auto points = [](const QDoubleSpinBox *field) {
        return pdf::toPoints(field->value(), pdf::LengthUnit::Millimetre);
    };
    setup.margins = pdf::Margins{points(m_ui.marginTopField), points(m_ui.marginRightField),
                                 points(m_ui.marginBottomField), points(m_ui.marginLeftField)};
    setup.defaultDpi = m_ui.defaultDpiField->value();
    return setup;
}

void PageTab::setPreviewImage(const QString &path, int index)
{
    m_facts.reset();
    m_caption = tr("No file is highlighted: a sample photo of 800 x 600 pixels is shown.");
    if (!path.isEmpty()) {
        QString reason;
        const auto source = image::FileImageSource::openFile(path, &reason);
        const auto facts = source ? source->imageFacts(index, &reason) : std::nullopt;
        const QString name = QFileInfo(path).fileName();
        if (facts) {
            m_facts = facts;
            const bool turned = facts->orientation >= 5;
            const image::Resolution &dpi = facts->resolution;
            m_caption = tr("%1: %2 x %3 pixels, %4")
                            .arg(name)
                            .arg(turned ? facts->height : facts->width)
                            .arg(turned ? facts->width : facts->height)
                            .arg(!dpi.isKnown()   ? tr("no resolution stated")
                                 : dpi.x == dpi.y ? tr("%1 dpi").arg(dpi.x)
                                                  : tr("%1 x %2 dpi").arg(dpi.x).arg(dpi.y));
        } else {
            m_caption = tr("%1 cannot be read (%2): a sample photo is shown.").arg(name, reason);
        }
    }
    refresh();
}

void PageTab::unitChanged()
{
    const auto unit = pdf::LengthUnit(std::max(0, m_ui.pageUnitPopup->currentIndex()));
    if (unit == m_unit)
        return;
    const QSizeF size(pdf::toPoints(m_ui.pageWidthField->value(), m_unit),
                      pdf::toPoints(m_ui.pageHeightField->value(), m_unit));
    m_unit = unit;
    const bool filling = m_filling;
    m_filling = true;
    for (QDoubleSpinBox *field : {m_ui.pageWidthField, m_ui.pageHeightField})
        field->setRange(pdf::fromPoints(pdf::kSmallestPageSide, unit),
                        pdf::fromPoints(pdf::kLargestPageSide, unit));
    m_ui.pageWidthField->setValue(pdf::fromPoints(size.width(), unit));
    m_ui.pageHeightField->setValue(pdf::fromPoints(size.height(), unit));
    m_filling = filling;
    refresh();
}

void PageTab::refresh()
{
    if (m_filling)
        return;
    const pdf::PageSetup setup = this->setup();
    const bool custom = setup.paper == pdf::PaperSize::Custom;
    for (QWidget *field :
         {static_cast<QWidget *>(m_ui.pageWidthField), static_cast<QWidget *>(m_ui.pageHeightField),
          static_cast<QWidget *>(m_ui.pageUnitPopup)})
        field->setEnabled(custom);
    // A page of the image's own size is neither turned nor scaled; margins are added around it.
    m_ui.pageOrientationPopup->setEnabled(!setup.isImageSize());
    m_ui.pageFitPopup->setEnabled(!setup.isImageSize());
    const QString problem = setup.problem();
    m_ui.pageProblemLabel->setText(problem.isEmpty() ? QString()
                                                     : tr("No page can be made: %1.").arg(problem));
    m_ui.pageProblemLabel->setVisible(!problem.isEmpty());
    showPreview(setup, problem);
}

void PageTab::showPreview(const pdf::PageSetup &setup, const QString &problem)
{
    const image::ImageFacts facts = m_facts.value_or(kSamplePhoto);
    QString description;
    if (!problem.isEmpty()) {
        m_ui.pagePreview->clearPage(setup.isImageSize() ? QSizeF(3, 4) : setup.portraitPaper());
        description = tr("No page can be made.");
    } else {
        const pdf::PageLayout layout =
            pdf::layoutPage(facts.width, facts.height, facts.resolution, facts.orientation, setup);
        QSizeF paper(layout.mediaWidth, layout.mediaHeight);
        if (layout.rotate % 180 != 0)
            paper.transpose();
        const pdf::Margins &m = setup.margins;
        const QRectF room(m.left, m.bottom, paper.width() - m.left - m.right,
                          paper.height() - m.top - m.bottom);
        const bool cut = !layout.clip.isEmpty();
        m_ui.pagePreview->setPage(paper, room, layout.placement, cut);
        const QRectF &image = layout.placement;
        const auto mm = pdf::LengthUnit::Millimetre;
        description = tr("Page %1; image %2, %3 from the left and %4 from the top%5.")
                          .arg(pdf::sizeText(paper, mm), pdf::sizeText(image.size(), mm),
                               millimetres(image.x()),
                               millimetres(paper.height() - image.y() - image.height()),
                               cut ? tr(", cut to the margins") : QString());
    }
    m_ui.pagePreview->setAccessibleDescription(description);
    m_ui.pagePreviewCaption->setText(m_caption + QLatin1Char('\n') + description);
}

} // namespace folioset
