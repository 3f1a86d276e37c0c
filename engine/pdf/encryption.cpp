#include "encryption.h"

#include "document.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFCryptoProvider.hh>
#include <qpdf/QUtil.hh>

#include <array>
#include <stdexcept>
#include <vector>

namespace folioset::pdf {

namespace {

// RC4 passwords are bytes that a reader compares after encoding what was typed in
// PDFDocEncoding; text outside it can only be passed on as UTF-8.
std::string passwordBytes(const QString &password)
{
    const std::string utf8 = password.toStdString();
    std::string encoded;
    return QUtil::utf8_to_pdf_doc(utf8, encoded) ? encoded : utf8;
}

// The permission word: every bit set except the reserved low two and those named, counted
// from 1 as the file format counts them.
int permissionsWithout(const std::vector<int> &cleared)
{
    unsigned bits = 1u | 2u;
    for (const int bit : cleared)
        bits |= 1u << (bit - 1);
    return int(~bits);
}

QByteArray hex(const std::string &bytes)
{
    return '<' + QByteArray::fromStdString(bytes).toHex() + '>';
}

std::shared_ptr<QPDFCryptoImpl> crypto()
{
    auto impl = QPDFCryptoProvider::getImpl();
    if (!impl)
        throw std::runtime_error("No cipher is available for encryption");
    return impl;
}

class Rc4Pipeline : public Pipeline
{
public:
    Rc4Pipeline(const std::string &key, Pipeline *next) : Pipeline("RC4", next), m_crypto(crypto())
    {
        m_crypto->RC4_init(reinterpret_cast<const unsigned char *>(key.data()), int(key.size()));
    }
    ~Rc4Pipeline() override { m_crypto->RC4_finalize(); }

    void write(unsigned char const *data, size_t length) override
    {
        while (length > 0) {
            const std::size_t piece = std::min(length, m_buffer.size());
            m_crypto->RC4_process(data, piece, m_buffer.data());
            getNext()->write(m_buffer.data(), piece);
            data += piece;
            length -= piece;
        }
    }
    void finish() override {}

private:
    std::shared_ptr<QPDFCryptoImpl> m_crypto;
    std::array<unsigned char, 64 * 1024> m_buffer{};
};

// AES in CBC mode: a fresh random initialisation vector first, then the data padded to whole
// blocks, 1 to 16 bytes each holding the count.
class AesPipeline : public Pipeline
{
public:
    static constexpr std::size_t kBlock = QPDFCryptoImpl::rijndael_buf_size;

    AesPipeline(const std::string &key, Pipeline *next) : Pipeline("AES", next), m_crypto(crypto())
    {
        m_crypto->provideRandomData(m_chain.data(), kBlock);
        getNext()->write(m_chain.data(), kBlock);
        m_crypto->rijndael_init(true, reinterpret_cast<const unsigned char *>(key.data()),
                                key.size(), true, m_chain.data());
    }
    ~AesPipeline() override { m_crypto->rijndael_finalize(); }

    void write(unsigned char const *data, size_t length) override
    {
        while (length > 0) {
            const std::size_t piece = std::min(length, kBlock - m_filled);
            std::copy_n(data, piece, m_in.begin() + std::ptrdiff_t(m_filled));
            m_filled += piece;
            data += piece;
            length -= piece;
            if (m_filled == kBlock)
                encryptBlock();
        }
    }
    void finish() override
    {
        const auto pad = static_cast<unsigned char>(kBlock - m_filled);
        std::fill(m_in.begin() + std::ptrdiff_t(m_filled), m_in.end(), pad);
        m_filled = kBlock;
        encryptBlock();
    }

private:
    void encryptBlock()
    {
        m_crypto->rijndael_process(m_in.data(), m_out.data());
        getNext()->write(m_out.data(), kBlock);
        m_filled = 0;
    }

    std::shared_ptr<QPDFCryptoImpl> m_crypto;
    std::array<unsigned char, kBlock> m_chain{}; // the cipher keeps chaining through it
    std::array<unsigned char, kBlock> m_in{};
    std::array<unsigned char, kBlock> m_out{};
    std::size_t m_filled = 0;
};

class StringPipeline : public Pipeline
{
public:
    explicit StringPipeline(std::string &out) : Pipeline("string", nullptr), m_out(out) {}
    void write(unsigned char const *data, size_t length) override
    {
        m_out.append(reinterpret_cast<const char *>(data), length);
    }
    void finish() override {}

private:
    std::string &m_out;
};

} // namespace

Encryption::Encryption(const Security &security, const std::string &id)
{
    // Modifying, annotating, filling forms and assembling are never allowed; printing and
    // copying follow the settings. Accessibility stays allowed: it lets screen readers read the
    // text to those who need it, which is not the copying the owner wants to prevent.
    if (security.keyBits >= 256) {
        m_version = 5;
        m_revision = 6;
        m_keyBytes = 32;
        m_aes = true;
    } else if (security.keyBits > 40) {
        m_version = 2;
        m_revision = 3;
        m_keyBytes = 16;
    } else {
        m_version = 1;
        m_revision = 2;
        m_keyBytes = 5;
    }
    // Bits counted from 1: 3 print, 5 copy, 12 print at full quality (revision 3 on); 4, 6, 9
    // and 11 are the changes never allowed.
    std::vector<int> cleared =
        m_revision == 2 ? std::vector<int>{4, 6} : std::vector<int>{4, 6, 9, 11};
    if (!security.canPrint) {
        cleared.push_back(3);
        if (m_revision > 2)
            cleared.push_back(12);
    }
    if (!security.canCopy)
        cleared.push_back(5);
    m_permissions = permissionsWithout(cleared);
    if (m_revision >= 6) {
        // Revision 6 takes passwords as UTF-8 itself; metadata is encrypted like everything
        // else, so that nothing can be read without the password.
        const std::string user = security.userPassword.toStdString();
        const std::string owner = security.ownerPassword.toStdString();
        QPDF::compute_encryption_parameters_V5(user.c_str(), owner.c_str(), m_version, m_revision,
                                               m_keyBytes, m_permissions, true, id, m_key, m_owner,
                                               m_user, m_ownerKey, m_userKey, m_perms);
        return;
    }
    const std::string user = passwordBytes(security.userPassword);
    const std::string owner = passwordBytes(security.ownerPassword);
    QPDF::compute_encryption_O_U(user.c_str(), owner.c_str(), m_version, m_revision, m_keyBytes,
                                 m_permissions, true, id, m_owner, m_user);
    const QPDF::EncryptionData data(m_version, m_revision, m_keyBytes, m_permissions, m_owner,
                                    m_user, "", "", "", id, true);
    m_key = QPDF::compute_encryption_key(user, data);
}

QByteArray Encryption::dictionary() const
{
    QByteArray text =
        "<< /Filter /Standard /V " + QByteArray::number(m_version) + " /R " +
        QByteArray::number(m_revision) + " /Length " + QByteArray::number(m_keyBytes * 8) + " /P " +
        QByteArray::number(m_permissions) + " /O " + hex(m_owner) + " /U " + hex(m_user);
    if (m_revision >= 6) {
        text += " /OE " + hex(m_ownerKey) + " /UE " + hex(m_userKey) + " /Perms " + hex(m_perms) +
                " /CF << /StdCF << /AuthEvent /DocOpen /CFM /AESV3 /Length 32 >> >>"
                " /StmF /StdCF /StrF /StdCF";
    }
    return text + " >>";
}

std::uint64_t Encryption::encryptedSize(std::uint64_t plain) const
{
    if (!m_aes)
        return plain;
    return AesPipeline::kBlock * (plain / AesPipeline::kBlock + 2);
}

std::string Encryption::objectKey(int object) const
{
    return QPDF::compute_data_key(m_key, object, 0, m_aes, m_version, m_revision);
}

std::unique_ptr<Pipeline> Encryption::encrypter(int object, Pipeline *next) const
{
    if (m_aes)
        return std::make_unique<AesPipeline>(objectKey(object), next);
    return std::make_unique<Rc4Pipeline>(objectKey(object), next);
}

std::string Encryption::encrypt(const std::string &plain, int object) const
{
    std::string out;
    StringPipeline sink(out);
    const auto pipeline = encrypter(object, &sink);
    pipeline->write(reinterpret_cast<const unsigned char *>(plain.data()), plain.size());
    pipeline->finish();
    return out;
}

} // namespace folioset::pdf
