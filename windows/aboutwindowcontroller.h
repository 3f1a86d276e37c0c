#pragma once

#include <QDialog>

#include <memory>

namespace folioset {

class Workspace;

namespace Ui {
class AboutWindowController;
}

// The About sheet: the program's icon, name and version, a thank-you, the support address
// (clicking it starts an e-mail to support through the desktop) and the copyright. Filled in
// when made; callers make a fresh one for each showing (see showSheet).
class AboutWindowController : public QDialog
{
    Q_OBJECT

public:
    static constexpr int windowHeight = 207;

    AboutWindowController(Workspace *workspace, QWidget *parent);
    ~AboutWindowController() override;

    // Makes an About sheet on `window`, shows it and returns at once; it deletes itself when
    // closed.
    static AboutWindowController *showSheet(Workspace *workspace, QWidget *window);

public slots:
    void okAction();

private:
    void openSupportMail();
    QUrl supportMailUrl() const;

    std::unique_ptr<Ui::AboutWindowController> m_ui;
    Workspace *const m_workspace;
};

} // namespace folioset
