#pragma once
// The SHA-256 of a download, computed piece by piece as its body is written,
// so that identical files are recognised without reading them again.
//
// Qt's own SHA-256 manages about 200 MB/s here, slower than a loopback
// download; the system's libcrypto (which Qt Network's TLS backend loads
// anyway) uses the processor's SHA instructions and is about ten times as
// fast. It is loaded at run time when present, so the core still links only
// Qt Core and Network; without it QCryptographicHash does the work. Both give
// the same digest.

#include <QByteArray>
#include <QByteArrayView>

#include <memory>

class QCryptographicHash;

namespace pm {

class ContentHash {
public:
    enum class Engine {
        Fastest,  // libcrypto when it can be loaded, else Qt's
        Qt,       // QCryptographicHash always
    };

    explicit ContentHash(Engine engine = Engine::Fastest);
    ~ContentHash();
    ContentHash(const ContentHash&) = delete;
    ContentHash& operator=(const ContentHash&) = delete;

    // Starts a new digest over no bytes.
    void reset();
    void addData(QByteArrayView data);
    // What was hashed no longer matches the file (a write or read failed):
    // there is no digest until the next reset().
    void invalidate() { m_valid = false; }
    bool isValid() const { return m_valid; }
    // Bytes hashed since the last reset().
    qint64 bytes() const { return m_bytes; }
    // The 32-byte digest of the bytes added, or empty when invalid. Ends the
    // digest: reset() before adding more.
    QByteArray finish();

    // Whether libcrypto does the work.
    bool accelerated() const { return m_context != nullptr; }

private:
    void* m_context = nullptr;  // libcrypto's EVP_MD_CTX
    std::unique_ptr<QCryptographicHash> m_qt;
    qint64 m_bytes = 0;
    bool m_valid = true;
};

}  // namespace pm
