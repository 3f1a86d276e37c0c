#pragma once

#include <QDialog>
#include <QString>

#include <memory>

class QPrintDialog;
class QPrinter;

namespace folioset {

namespace Ui {
class EULAWindowController;
}

// The end-user license agreement in a sheet, with the program's name filled in, to read, print
// or keep as a PDF file.
class EULAWindowController : public QDialog
{
    Q_OBJECT

public:
    explicit EULAWindowController(QWidget *parent);
    ~EULAWindowController() override;

    // Makes an agreement sheet on `window`, shows it and returns at once; it deletes itself
    // when closed.
    static EULAWindowController *showSheet(QWidget *window);

    // The file name Save As proposes: "<name> End-User License Agreement.pdf".
    static QString proposedFileName();

    // Writes the agreement to `path` as a paginated PDF, whole or not at all. On failure the
    // reason is logged and, when asked for, given in `reason`.
    bool saveAsPdf(const QString &path, QString *reason = nullptr);

public slots:
    void printAction();
    void saveAsAction();
    void closeAction();

private:
    bool writePdf(const QString &path, QString *reason);
    void saveChosenFile(const QString &path);

    std::unique_ptr<Ui::EULAWindowController> m_ui;
    // Kept between prints so the user's printer and options stay chosen. The dialog is declared
    // after the printer so it goes first: it works on that printer.
    std::unique_ptr<QPrinter> m_printer;
    std::unique_ptr<QPrintDialog> m_printDialog;
};

} // namespace folioset
