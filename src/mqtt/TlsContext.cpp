#include "TlsContext.h"

#include <QFile>
#include <QHostAddress>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

namespace {

QString openSslError()
{
    char text[256] = {};
    ERR_error_string_n(ERR_get_error(), text, sizeof text);
    ERR_clear_error();
    return QString::fromLatin1(text);
}

} // namespace

TlsContext::TlsContext(const QString& host, const QString& caFile) : m_host(host)
{
    m_context = SSL_CTX_new(TLS_client_method());
    if (!m_context) {
        m_problem = QStringLiteral("cannot set up TLS: %1").arg(openSslError());
        return;
    }
    SSL_CTX_set_min_proto_version(m_context, TLS1_2_VERSION);
    SSL_CTX_set_app_data(m_context, this);
    SSL_CTX_set_verify(m_context, SSL_VERIFY_PEER,
                       reinterpret_cast<int (*)(int, X509_STORE_CTX*)>(&TlsContext::verify));
    const bool loaded =
        caFile.isEmpty()
            ? SSL_CTX_set_default_verify_paths(m_context) == 1
            : SSL_CTX_load_verify_locations(m_context, QFile::encodeName(caFile), nullptr) == 1;
    if (!loaded)
        m_problem = QStringLiteral("cannot read the certificate authorities %1: %2")
                        .arg(caFile, openSslError());
    // The host the user named, not the address it resolved to.
    X509_VERIFY_PARAM* param = SSL_CTX_get0_param(m_context);
    const QByteArray name = host.toUtf8();
    if (QHostAddress(host).isNull())
        X509_VERIFY_PARAM_set1_host(param, name.constData(), size_t(name.size()));
    else
        X509_VERIFY_PARAM_set1_ip_asc(param, name.constData());
}

TlsContext::~TlsContext()
{
    SSL_CTX_free(m_context);
}

int TlsContext::verify(int preverifyOk, void* storeContext)
{
    if (preverifyOk)
        return 1;
    auto* store = static_cast<X509_STORE_CTX*>(storeContext);
    auto* ssl =
        static_cast<SSL*>(X509_STORE_CTX_get_ex_data(store, SSL_get_ex_data_X509_STORE_CTX_idx()));
    auto* self =
        ssl ? static_cast<TlsContext*>(SSL_CTX_get_app_data(SSL_get_SSL_CTX(ssl))) : nullptr;
    if (!self || !self->m_refusal.isEmpty())
        return 0;
    const int error = X509_STORE_CTX_get_error(store);
    switch (error) {
    case X509_V_ERR_HOSTNAME_MISMATCH:
    case X509_V_ERR_IP_ADDRESS_MISMATCH:
        self->m_refusal =
            QStringLiteral("host name mismatch: the broker's certificate is not for %1")
                .arg(self->m_host);
        break;
    case X509_V_ERR_CERT_HAS_EXPIRED:
        self->m_refusal = QStringLiteral("the broker's certificate has expired");
        break;
    case X509_V_ERR_CERT_NOT_YET_VALID:
        self->m_refusal = QStringLiteral("the broker's certificate is not valid yet");
        break;
    default:
        self->m_refusal = QStringLiteral("certificate not trusted (%1): give the certificate "
                                         "authority that signed it with --mqtt-ca")
                              .arg(QString::fromLatin1(X509_verify_cert_error_string(error)));
    }
    return 0;
}

QString TlsContext::checkCaFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return file.errorString();
    TlsContext probe(QStringLiteral("localhost"), path);
    return probe.problem().isEmpty() ? QString()
                                     : QStringLiteral("no certificate OpenSSL can read in it");
}
