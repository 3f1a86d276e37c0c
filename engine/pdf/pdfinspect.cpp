#include "pdfinspect.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFExc.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>

#include <limits>

namespace folioset::pdf {

PdfFacts inspectPdf(const QString &path, const QString &password)
{
    PdfFacts facts;
    const QByteArray file = path.toLocal8Bit();
    const QByteArray pass = password.toUtf8();
    try {
        QPDF pdf;
        pdf.setSuppressWarnings(true);
        pdf.processFile(file.constData(), pass.constData());
        facts.opened = true;
        facts.encrypted = pdf.isEncrypted();
        const size_t count = QPDFPageDocumentHelper(pdf).getAllPages().size();
        facts.pages = int(std::min<size_t>(count, std::numeric_limits<int>::max()));
    } catch (const QPDFExc &e) {
        // A password we do not have still tells us the file is an encrypted PDF.
        if (e.getErrorCode() == qpdf_e_password) {
            facts.opened = true;
            facts.encrypted = true;
        }
    } catch (const std::exception &) {
    }
    return facts;
}

} // namespace folioset::pdf
