#include "core/download/contenthash.h"

#include <QCryptographicHash>
#include <QLibrary>

namespace pm {

namespace {
// The few functions of libcrypto's stable EVP interface the digest needs.
struct Libcrypto {
    void* (*newContext)() = nullptr;
    void (*freeContext)(void*) = nullptr;
    const void* (*sha256)() = nullptr;
    int (*init)(void*, const void*, void*) = nullptr;
    int (*update)(void*, const void*, size_t) = nullptr;
    int (*final)(void*, unsigned char*, unsigned int*) = nullptr;

    bool usable() const { return newContext && freeContext && sha256 && init && update && final; }
};

const Libcrypto& libcrypto()
{
    static const Libcrypto functions = [] {
        Libcrypto f;
        QLibrary library(QStringLiteral("crypto"), 3);  // stays loaded: QLibrary never unloads on destruction
        if (!library.load())
            return f;
        f.newContext = reinterpret_cast<void* (*)()>(library.resolve("EVP_MD_CTX_new"));
        f.freeContext = reinterpret_cast<void (*)(void*)>(library.resolve("EVP_MD_CTX_free"));
        f.sha256 = reinterpret_cast<const void* (*)()>(library.resolve("EVP_sha256"));
        f.init = reinterpret_cast<int (*)(void*, const void*, void*)>(library.resolve("EVP_DigestInit_ex"));
        f.update = reinterpret_cast<int (*)(void*, const void*, size_t)>(library.resolve("EVP_DigestUpdate"));
        f.final = reinterpret_cast<int (*)(void*, unsigned char*, unsigned int*)>(library.resolve("EVP_DigestFinal_ex"));
        return f;
    }();
    return functions;
}
}  // namespace

ContentHash::ContentHash(Engine engine)
{
    if (engine == Engine::Fastest && libcrypto().usable())
        m_context = libcrypto().newContext();
    if (!m_context)
        m_qt = std::make_unique<QCryptographicHash>(QCryptographicHash::Sha256);
    reset();
}

ContentHash::~ContentHash()
{
    if (m_context)
        libcrypto().freeContext(m_context);
}

void ContentHash::reset()
{
    m_bytes = 0;
    m_valid = true;
    if (m_context)
        m_valid = libcrypto().init(m_context, libcrypto().sha256(), nullptr) == 1;
    else
        m_qt->reset();
}

void ContentHash::addData(QByteArrayView data)
{
    if (!m_valid)
        return;
    m_bytes += data.size();
    if (m_context)
        m_valid = libcrypto().update(m_context, data.data(), size_t(data.size())) == 1;
    else
        m_qt->addData(data);
}

QByteArray ContentHash::finish()
{
    if (!m_valid)
        return {};
    m_valid = false;  // a finished digest takes no more data
    if (!m_context)
        return m_qt->result();
    QByteArray digest(32, Qt::Uninitialized);
    unsigned int length = 0;
    if (libcrypto().final(m_context, reinterpret_cast<unsigned char*>(digest.data()), &length) != 1 || length != 32)
        return {};
    return digest;
}

}  // namespace pm
