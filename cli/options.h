#pragma once

#include "inputlist.h"

#include "engine/pdf/pagesetup.h"
#include "model/selectionrange.h"

#include <QCommandLineOption>
#include <QString>
#include <QStringList>

#include <optional>

class QIODevice;

namespace folioset {
class Settings;
}

namespace folioset::cli {

// What one invocation asks for. Values that were not given stay absent (or at the defaults of
// a fresh Settings), so that only what the user typed reaches the run.
struct Options
{
    QStringList inputs;
    QList<ListEntry> listedInputs; // read from --from-file, in its order
    bool recursive = false;
    int mode = 0; // CombineMode: 0 single, 1 merge, 2 group
    QString name; // base name of the merged or grouped PDFs, without ".pdf"
    int groupSize = 2;
    QString outputFolder;

    std::optional<QString> title;
    std::optional<QString> subject;
    std::optional<QString> author;
    std::optional<QString> keywords;
    std::optional<QString> openPassword;
    std::optional<QString> permissionPassword;
    bool noPrint = false;
    bool noCopy = false;
    std::optional<int> keyBits;      // 40 or 128 (RC4), 256 (AES); with a password and none, 256
    std::optional<int> bookmarkType; // 0 none, 1 file name, 2 name without extension, 3 path

    SelectionRange pages;     // applied to every multi-page input
    pdf::PageSetup pageSetup; // every page, whether or not document settings are given
    QString logFolder;        // empty: the per-user "Logs" folder
    QString reportPath;       // empty: no report
    bool open = false;
    bool quiet = false;

    // Whether any document setting was given, which is what switches them on for the run.
    bool appliesDocumentSettings() const;
    // True when --no-print, --no-copy or --key-bits were given without a password, in which
    // case the PDF would not be encrypted and they could not take effect: a usage error.
    bool hasIneffectiveRights() const;
};

enum class ParseStatus { Run, Help, Version, UsageError };

struct ParseResult
{
    ParseStatus status = ParseStatus::UsageError;
    Options options;
    QString error; // names the problem when status is UsageError
};

// `arguments` includes the program name first, as QCoreApplication::arguments() gives it.
// Password files named "-" are read from `standardInput`, one line each: the open password's
// first when both are; an input list named "-" is read from it whole, and cannot share it with
// a password. `standardInput` may be null when there is none.
ParseResult parseArguments(const QStringList &arguments, QIODevice *standardInput);

// "all", "1-3,7-7" (a single "5" stands for "5-5"), "step:N" or "rstep:N" with N >= 1.
std::optional<SelectionRange> parsePageRule(const QString &text);

// Puts the options into a fresh settings record (never stored).
void applyToSettings(const Options &options, Settings &settings);

// Every option the parser knows, for checking that --help names them all.
QList<QCommandLineOption> commandLineOptions();

QString helpText();
QString versionText();

} // namespace folioset::cli
