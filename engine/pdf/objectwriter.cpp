#include "objectwriter.h"

#include "encryption.h"

#include <qpdf/QUtil.hh>

#include <cstdio>

namespace folioset::pdf {

namespace {

// Counts what a stream's producer gives, so a wrong /Length is caught before the file is kept.
class CountingPipeline : public Pipeline
{
public:
    explicit CountingPipeline(Pipeline *next) : Pipeline("count", next) {}
    void write(unsigned char const *data, size_t length) override
    {
        m_count += length;
        getNext()->write(data, length);
    }
    void finish() override {}
    std::uint64_t count() const { return m_count; }

private:
    std::uint64_t m_count = 0;
};

} // namespace

QByteArray trimmedNumber(double value, int decimals)
{
    QByteArray text = QByteArray::number(value, 'f', decimals);
    if (text.contains('.')) {
        while (text.endsWith('0'))
            text.chop(1);
        if (text.endsWith('.'))
            text.chop(1);
    }
    return text == "-0" ? QByteArray("0") : text;
}

ObjectWriter::ObjectWriter(Pipeline &out, const Encryption *encryption)
    : m_out(out), m_encryption(encryption)
{}

QByteArray ObjectWriter::reference(int number)
{
    return QByteArray::number(number) + " 0 R";
}

void ObjectWriter::put(const char *data, std::size_t size)
{
    m_out.write(reinterpret_cast<const unsigned char *>(data), size);
    m_position += size;
}

void ObjectWriter::put(const QByteArray &bytes)
{
    put(bytes.constData(), std::size_t(bytes.size()));
}

void ObjectWriter::header(const char *version)
{
    // The comment of bytes above 127 tells transfer programs the file is binary.
    put(QByteArray("%PDF-") + version + "\n%\xbf\xf7\xa2\xfe\n");
}

int ObjectWriter::reserve()
{
    m_offsets.push_back(0);
    return int(m_offsets.size() - 1);
}

void ObjectWriter::begin(int number)
{
    if (number <= 0 || std::size_t(number) >= m_offsets.size() || m_offsets[number] != 0)
        throw std::logic_error("object written twice or never reserved");
    m_offsets[std::size_t(number)] = m_position;
    put(QByteArray::number(number) + " 0 obj\n");
}

void ObjectWriter::object(int number, const QByteArray &body)
{
    begin(number);
    put(body);
    put("\nendobj\n", 8);
}

void ObjectWriter::stream(int number, const QByteArray &entries, std::uint64_t length,
                          const std::function<void(Pipeline *)> &produce)
{
    const std::uint64_t stored = m_encryption ? m_encryption->encryptedSize(length) : length;
    begin(number);
    put("<<" + entries + " /Length " + QByteArray::number(quint64(stored)) + " >>\nstream\n");
    CountingPipeline counter(&m_out);
    if (m_encryption) {
        const auto encrypter = m_encryption->encrypter(number, &counter);
        produce(encrypter.get());
    } else {
        produce(&counter);
    }
    if (counter.count() != stored)
        throw WriteFailure("A stream came out a different size than it was measured");
    m_position += stored;
    put("\nendstream\nendobj\n", 18);
}

void ObjectWriter::stream(int number, const QByteArray &entries, const QByteArray &data)
{
    stream(number, entries, std::uint64_t(data.size()), [&data](Pipeline *pipeline) {
        pipeline->write(reinterpret_cast<const unsigned char *>(data.constData()),
                        std::size_t(data.size()));
        pipeline->finish();
    });
}

QByteArray ObjectWriter::string(const std::string &bytes, int number) const
{
    const std::string stored = m_encryption ? m_encryption->encrypt(bytes, number) : bytes;
    return '<' + QByteArray::fromStdString(stored).toHex() + '>';
}

QByteArray ObjectWriter::text(const QString &text, int number) const
{
    const std::string utf8 = text.toStdString();
    std::string encoded;
    if (!QUtil::utf8_to_pdf_doc(utf8, encoded))
        encoded = QUtil::utf8_to_utf16(utf8);
    return string(encoded, number);
}

void ObjectWriter::finish(int root, int info, int encrypt, const std::string &id)
{
    const std::uint64_t xref = m_position;
    const QByteArray table =
        "xref\n0 " + QByteArray::number(quint64(m_offsets.size())) + "\n0000000000 65535 f \n";
    put(table);
    char entry[32];
    for (std::size_t n = 1; n < m_offsets.size(); ++n) {
        if (m_offsets[n] == 0)
            throw std::logic_error("an object was reserved but never written");
        const int size = std::snprintf(entry, sizeof entry, "%010llu 00000 n \n",
                                       static_cast<unsigned long long>(m_offsets[n]));
        put(entry, std::size_t(size));
    }
    const QByteArray idText = '<' + QByteArray::fromStdString(id).toHex() + '>';
    QByteArray trailer = "trailer\n<< /Size " + QByteArray::number(quint64(m_offsets.size())) +
                         " /Root " + reference(root) + " /Info " + reference(info);
    if (encrypt > 0)
        trailer += " /Encrypt " + reference(encrypt);
    trailer += " /ID [" + idText + idText + "] >>\nstartxref\n" +
               QByteArray::number(quint64(xref)) + "\n%%EOF\n";
    put(trailer);
}

} // namespace folioset::pdf
