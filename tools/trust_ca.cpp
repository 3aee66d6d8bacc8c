// Trusts a CA certificate inside the Wine prefix it runs in (never the machine's own store):
//   trust_ca CA.der     adds the DER-encoded certificate to the local machine's Root store
// The test harness trusts the lookup stand-in's throw-away https CA this way.
#include <windows.h>

#include <wincrypt.h>

#include <cstdio>
#include <vector>

int wmain(int argc, wchar_t** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: trust_ca CA.der\n");
        return 2;
    }
    HANDLE file = CreateFileW(argv[1], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        std::fprintf(stderr, "cannot open %ls\n", argv[1]);
        return 1;
    }
    std::vector<BYTE> der(64 * 1024);
    DWORD size = 0;
    BOOL read = ReadFile(file, der.data(), static_cast<DWORD>(der.size()), &size, nullptr);
    CloseHandle(file);
    if (!read || size == 0) {
        std::fprintf(stderr, "cannot read %ls\n", argv[1]);
        return 1;
    }
    HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, L"Root");
    if (store == nullptr) {
        std::fprintf(stderr, "CertOpenStore failed (0x%08lx)\n", GetLastError());
        return 1;
    }
    BOOL added = CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, der.data(), size,
                                                  CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
    DWORD error = GetLastError();
    CertCloseStore(store, 0);
    if (!added) {
        std::fprintf(stderr, "CertAddEncodedCertificateToStore failed (0x%08lx)\n", error);
        return 1;
    }
    return 0;
}
