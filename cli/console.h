#pragma once

#include <QString>

namespace folioset::cli {

// The command's voice. Results go to standard output, errors and notes to standard error;
// quiet keeps everything but errors. The progress line is drawn only on a terminal and is
// cleared before anything else is printed, so that it never mixes with other lines.
class Console
{
public:
    explicit Console(bool quiet);

    void info(const QString &line);
    void note(const QString &line);
    void error(const QString &line);

    bool showsProgress() const { return m_showsProgress; }
    void progress(const QString &line);
    void clearProgress();

private:
    bool m_quiet;
    bool m_showsProgress;
    bool m_progressShown = false;
};

} // namespace folioset::cli
