#include "support/webmastertlsserver.h"

#include <openssl/evp.h>
#include <openssl/pem.h>

namespace qctest {

bool verifyRs256(const QByteArray &publicPem, const QByteArray &input, const QByteArray &signature)
{
    BIO *bio = BIO_new_mem_buf(publicPem.constData(), int(publicPem.size()));
    EVP_PKEY *key = PEM_read_bio_PUBKEY(bio, nullptr, nullptr, nullptr);
    BIO_free(bio);
    EVP_MD_CTX *context = EVP_MD_CTX_new();
    const bool valid =
        key != nullptr && EVP_DigestVerifyInit(context, nullptr, EVP_sha256(), nullptr, key) == 1 &&
        EVP_DigestVerify(context, reinterpret_cast<const unsigned char *>(signature.constData()),
                         size_t(signature.size()), reinterpret_cast<const unsigned char *>(input.constData()),
                         size_t(input.size())) == 1;
    EVP_MD_CTX_free(context);
    EVP_PKEY_free(key);
    return valid;
}

} // namespace qctest
