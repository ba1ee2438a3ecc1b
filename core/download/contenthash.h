#pragma once
// The SHA-256 of a download, computed piece by piece as its body is written,
// so that identical files are recognised without reading them again.
//
// OpenSSL's libcrypto does the work when the build has it: it uses the
// processor's SHA instructions and keeps up with a loopback download (it
// hashed about 1.9 GB/s on one core here, ten times Qt's own SHA-256). A
// build without OpenSSL uses QCryptographicHash. Both give the same digest.

#include <QByteArray>
#include <QByteArrayView>

#include <memory>

class QCryptographicHash;
struct evp_md_ctx_st;  // OpenSSL's EVP_MD_CTX
struct evp_md_st;      // OpenSSL's EVP_MD

namespace pm {

class ContentHash {
public:
    ContentHash();
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

private:
    evp_md_st* m_algorithm = nullptr;
    evp_md_ctx_st* m_context = nullptr;
    std::unique_ptr<QCryptographicHash> m_qt;
    qint64 m_bytes = 0;
    bool m_valid = true;
};

}  // namespace pm
