#pragma once

#include <QString>

namespace folioset::pdf {

struct PdfFacts
{
    bool opened = false;    // the file is a PDF the library could read
    bool encrypted = false; // the file is encrypted (also when a password is needed to read it)
    int pages = 0;          // 0 when the pages cannot be counted without a password
};

// Reads a PDF's structure far enough to count its pages, with the given user password (the
// empty text opens files whose user password is empty).
PdfFacts inspectPdf(const QString &path, const QString &password = {});

} // namespace folioset::pdf
