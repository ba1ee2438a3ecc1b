#include "core/download/contenthash.h"

#include <QCryptographicHash>

#ifdef PULLMARK_HAVE_OPENSSL
#include <openssl/evp.h>
#endif

namespace pm {

ContentHash::ContentHash()
{
#ifdef PULLMARK_HAVE_OPENSSL
    // Fetched once: EVP_sha256() would look the algorithm up in OpenSSL's
    // provider tables again at every reset(), that is at every download.
    m_algorithm = EVP_MD_fetch(nullptr, "SHA256", nullptr);
    m_context = m_algorithm ? EVP_MD_CTX_new() : nullptr;
#endif
    if (!m_context)
        m_qt = std::make_unique<QCryptographicHash>(QCryptographicHash::Sha256);
    reset();
}

ContentHash::~ContentHash()
{
#ifdef PULLMARK_HAVE_OPENSSL
    EVP_MD_CTX_free(m_context);
    EVP_MD_free(m_algorithm);
#endif
}

void ContentHash::reset()
{
    m_bytes = 0;
    m_valid = true;
#ifdef PULLMARK_HAVE_OPENSSL
    if (m_context) {
        m_valid = EVP_DigestInit_ex2(m_context, m_algorithm, nullptr) == 1;
        return;
    }
#endif
    m_qt->reset();
}

void ContentHash::addData(QByteArrayView data)
{
    if (!m_valid)
        return;
    m_bytes += data.size();
#ifdef PULLMARK_HAVE_OPENSSL
    if (m_context) {
        m_valid = EVP_DigestUpdate(m_context, data.data(), size_t(data.size())) == 1;
        return;
    }
#endif
    m_qt->addData(data);
}

QByteArray ContentHash::finish()
{
    if (!m_valid)
        return {};
    m_valid = false;  // a finished digest takes no more data
#ifdef PULLMARK_HAVE_OPENSSL
    if (m_context) {
        QByteArray digest(32, Qt::Uninitialized);
        unsigned int length = 0;
        if (EVP_DigestFinal_ex(m_context, reinterpret_cast<unsigned char*>(digest.data()), &length) != 1 || length != 32)
            return {};
        return digest;
    }
#endif
    return m_qt->result();
}

}  // namespace pm
