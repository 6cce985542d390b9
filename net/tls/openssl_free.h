// The deleters that let std::unique_ptr own OpenSSL objects, for the POSIX engine and the
// tests' in-memory TLS peer (OpenSSL is the POSIX side's TLS library only).
#pragma once

#include <openssl/bio.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

// Frees an object with the OpenSSL call given.
template <auto Free>
struct COpenSslFree {
    template <typename T>
    void operator()(T* object) const {
        Free(object);
    }
};

using CContextFree = COpenSslFree<&SSL_CTX_free>;
using CSslFree = COpenSslFree<&SSL_free>;
using CBioFree = COpenSslFree<&BIO_free>;
using CX509Free = COpenSslFree<&X509_free>;
using CStoreFree = COpenSslFree<&X509_STORE_free>;
using CKeyFree = COpenSslFree<&EVP_PKEY_free>;
using CExtensionFree = COpenSslFree<&X509_EXTENSION_free>;
