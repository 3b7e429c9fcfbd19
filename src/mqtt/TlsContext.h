#pragma once

#include <QString>

typedef struct ssl_ctx_st SSL_CTX;

// The TLS settings of one broker connection. The client connects to an address resolved
// beforehand, so the certificate is checked here against the host name the user gave, and
// the first reason a certificate was refused is kept to be named in the status line.
class TlsContext
{
public:
    // caFile empty: the system's certificate authorities.
    TlsContext(const QString& host, const QString& caFile);
    ~TlsContext();
    TlsContext(const TlsContext&) = delete;
    TlsContext& operator=(const TlsContext&) = delete;

    SSL_CTX* handle() const { return m_context; }
    // Why the context could not be made; empty when it is usable.
    QString problem() const { return m_problem; }

    // Forgets the last refusal, before a new handshake.
    void clearRefusal() { m_refusal.clear(); }
    // Why the broker's certificate was refused; empty when it was not.
    QString refusal() const { return m_refusal; }

    // Empty when the file holds at least one certificate OpenSSL can read.
    static QString checkCaFile(const QString& path);

private:
    static int verify(int preverifyOk, void* store);

    SSL_CTX* m_context = nullptr;
    QString m_host;
    QString m_problem;
    QString m_refusal;
};
