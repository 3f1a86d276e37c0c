#pragma once

#include <QDialog>
#include <QList>
#include <QUrl>

#include <memory>

namespace Ui {
class ImportFiles;
}

namespace folioset {

class ImportFilesWindowController;

class ImportFilesWindowControllerDelegate
{
public:
    virtual ~ImportFilesWindowControllerDelegate() = default;
    // The sheet has ended, by Import with files() found or by Cancel with none.
    virtual void ImportFilesWindowControllerDidFinish(ImportFilesWindowController *sheet) = 0;
};

// The import sheet: a list of paths from a text file, or pasted, becomes files for the list.
// Only paths whose extension is accepted count (in any letter case), each once.
class ImportFilesWindowController : public QDialog
{
    Q_OBJECT

public:
    explicit ImportFilesWindowController(QWidget *window);
    ~ImportFilesWindowController() override;

    void setDelegate(ImportFilesWindowControllerDelegate *delegate) { m_delegate = delegate; }
    QString allowedTypes() const { return m_allowedTypes; }
    void setAllowedTypes(const QString &types) { m_allowedTypes = types; }
    QList<QUrl> files() const { return m_files; }
    ::Ui::ImportFiles &ui() const { return *m_ui; }

    // Every opening starts empty, with the method chosen last time.
    void resetView();
    void importMethodChanged(int tag);
    void browseImportFileAction();
    void pasetFromClipboardAction();
    void importAction();
    void cancelAction();
    void parseFile(const QString &path);
    void parseText(const QString &text);

    void reject() override { cancelAction(); }

private:
    void showCount();
    void finish();
    void notice(const QString &message);

    std::unique_ptr<::Ui::ImportFiles> m_ui;
    ImportFilesWindowControllerDelegate *m_delegate = nullptr;
    QString m_allowedTypes;
    QList<QUrl> m_files;
};

} // namespace folioset
