#pragma once

#include <qpdf/Pipeline.hh>

#include <QByteArray>

#include <cstdint>
#include <memory>
#include <string>

namespace folioset::pdf {

struct Security;

// The standard security handler of one document: its keys, its /Encrypt dictionary, and the
// encryption of each object's strings and stream data with that object's key. qpdf computes the
// keys and the password entries; the ciphers come from its crypto provider.
class Encryption
{
public:
    // `id` is the first element of the document's /ID, which RC4 keys depend on.
    Encryption(const Security &security, const std::string &id);

    // The /Encrypt dictionary, whose own strings are never encrypted.
    QByteArray dictionary() const;
    // Revision 6 came with PDF 1.7, extension level 8.
    bool needsExtensionLevel8() const { return m_revision >= 6; }

    // How many bytes `plain` bytes become: the same for RC4; for AES an initialisation vector
    // and whole blocks, padded.
    std::uint64_t encryptedSize(std::uint64_t plain) const;
    // A pipeline that encrypts what is written to it with object `object`'s key and passes it on
    // to `next`; finish() completes the last block but does not finish `next`.
    std::unique_ptr<Pipeline> encrypter(int object, Pipeline *next) const;
    std::string encrypt(const std::string &plain, int object) const;

private:
    std::string objectKey(int object) const;

    int m_version = 0;
    int m_revision = 0;
    int m_keyBytes = 0;
    int m_permissions = 0;
    bool m_aes = false;
    std::string m_key;
    std::string m_owner;
    std::string m_user;
    std::string m_ownerKey; // revision 6: /OE, /UE and /Perms
    std::string m_userKey;
    std::string m_perms;
};

} // namespace folioset::pdf
