#pragma once
// A throwaway PostgreSQL cluster for the suites that run on both engines: initdb into a
// temporary folder and a server on a free local port, started once per test executable and
// stopped when it exits. As root (CI) the server runs as the unprivileged "postgres" user.
#include <QString>

class TClientConnection;

// A new, empty database on the cluster, as a connection string for TClientConnection::Open.
// The cluster starts on the first call. Throws EDatabaseError with the reason (no server
// binaries, initdb or pg_ctl failing, with their output) when it cannot start.
QString NewPgDatabase(const QString& name);

// A new database holding the schema and the demo data (as of 2026-12-01), built once per test
// executable and copied from then on (CREATE DATABASE ... TEMPLATE).
QString NewPgDemoDatabase(const QString& name);

// A demo database shared by every test process of the run, for tests that roll back all they
// do; created from the demo template by the first process that asks.
QString SharedPgDemoDatabase(const QString& name);
