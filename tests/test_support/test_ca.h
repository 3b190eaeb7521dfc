#pragma once
// A code-signing certificate from a certificate authority made for the test by openssl: the CA's
// certificate (to verify with) and the publisher's certificate and key in a PKCS#12 file with a
// password.

#include <cstdlib>
#include <ctime>
#include <string>

#include "project/file_io.h"
#include "test_support/temp_dir.h"

struct TestCa {
    TempDir dir;
    std::string caCertificate = dir.file("ca.pem");
    std::string p12 = dir.file("publisher.p12");
    std::string password = "s3cret pass";
    std::string passwordFile = dir.file("password.txt");
    bool made = false;

    TestCa() {
        torvana::replaceFileContents(dir.file("ext.cnf"),
                                     "keyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n");
        torvana::replaceFileContents(passwordFile, password + "\n");
        const std::string in = "cd '" + dir.path() + "' && ";
        made = std::system((in +
                            "openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 3650 "
                            "-subj '/CN=Torvana Test CA' -addext basicConstraints=critical,CA:TRUE "
                            "-addext keyUsage=critical,keyCertSign,cRLSign 2>/dev/null && "
                            "openssl req -newkey rsa:2048 -nodes -keyout p.key -out p.csr "
                            "-subj '/CN=Torvana Test Publisher' 2>/dev/null && "
                            "openssl x509 -req -in p.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 3650 "
                            "-extfile ext.cnf -out p.pem 2>/dev/null && "
                            "openssl pkcs12 -export -inkey p.key -in p.pem -certfile ca.pem -out publisher.p12 "
                            "-passout 'pass:" + password + "'")
                               .c_str()) == 0;
    }

    // osslsigncode's verdict on a signed program: true when its signature chains to this CA.
    bool verifies(const std::string& program) const {
        return std::system(("osslsigncode verify -CAfile '" + caCertificate + "' -in '" + program + "' >/dev/null 2>&1")
                               .c_str()) == 0;
    }

    // The signing time the program's signature carries, as osslsigncode shows it; empty
    // without one.
    std::string signingTime(const std::string& program) const {
        const std::string out = dir.file("verified.txt");
        std::system(("osslsigncode verify -CAfile '" + caCertificate + "' -in '" + program + "' >'" + out + "' 2>&1").c_str());
        const std::string said = torvana::readFileContents(out);
        const std::string tag = "Signing time: ";
        const size_t at = said.find(tag);
        return at == std::string::npos ? std::string() : said.substr(at + tag.size(), said.find('\n', at) - at - tag.size());
    }
    // `time` as signingTime() shows it: "Dec  8 08:15:00 2026 GMT".
    static std::string shownTime(std::time_t time) {
        std::tm utc{};
        gmtime_r(&time, &utc);
        char text[64];
        std::strftime(text, sizeof text, "%b %e %H:%M:%S %Y GMT", &utc);
        return text;
    }
};
