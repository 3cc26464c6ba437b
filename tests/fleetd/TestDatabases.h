#pragma once

#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <string>

// Where the store tests keep their data: a SQLite file always, and PostgreSQL when
// its server binaries are installed. PostgreSQL runs as one throwaway cluster per
// test process (a copy of a cluster initdb made once, in a temporary folder, on a
// free loopback port), started on first use, as an unprivileged user when the tests run as root, and stopped when
// the tests end or, should the process die, when its parent goes.
enum class TestBackend { Sqlite, Postgres };

std::string testBackendName(const ::testing::TestParamInfo<TestBackend> &info);

// A new, empty store location: a file in `dir`, or a new PostgreSQL database.
// Empty, with `why` saying why, when the backend cannot be had here.
QString newStoreLocation(TestBackend backend, const QTemporaryDir &dir, QString *why);

// "PostgreSQL 15.x ..." of the running test cluster, or empty.
QString testPostgresVersion();
