#pragma once
// The server's TLS identity. When no certificate is given, the server makes its own on first
// start (self-signed, valid ten years, for the names it is reached by) and keeps it beside the
// database, so that the desktops that were given it keep trusting it across restarts.
#include <QString>
#include <QStringList>

// Makes a self-signed certificate and its private key (PEM) at the two paths unless both are
// there already. `names`: host names and addresses the certificate is valid for. The key file is
// readable by its owner only. Throws Exception with a clear message on failure.
void EnsureCertificate(const QString& certFile, const QString& keyFile, const QStringList& names);
