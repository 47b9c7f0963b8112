#pragma once
// Who may use the books: operators log in with a password, and the connection then carries
// their session (TServerSession), against which every other server method checks rights.
//
// Passwords are kept only as salted Argon2id hashes in libsodium's string form
// ("$argon2id$v=19$m=...,t=...,p=1$salt$hash") in operator.pwhash; an empty pwhash means the
// operator has no password yet (the administrator of a new database) and must set one.
//
// Hashing uses libsodium's interactive limits (about a quarter of a second and 64 MiB).
// Tests may set the environment variable TRADEBILL_PWHASH_FAST=1 to hash with the library's
// minimum limits instead; a hash made that way is upgraded at the next successful login of
// a process that runs without the variable.
#include "webrpc/Connection.h"

#include <QString>

// A new salted hash of the password. Throws Exception when the library cannot run.
QString HashPassword(const QString& password);
// Whether the password matches a hash made by HashPassword (false for an empty or foreign
// hash).
bool VerifyPassword(const QString& hash, const QString& password);
// Whether the hash was made with weaker limits than HashPassword uses now.
bool PasswordNeedsRehash(const QString& hash);

// Registers "Login", "SetPassword" and "GetLoginInfo" with the proxy's registry.
void RegisterLoginMethods();

// "Login": "OpID" or "OpName" (the operator's name or code) and "Password" in; "ErrNo",
// "ErrMsg", "OpID", "OpName", "ShopID", "SysManager", "MustSetPassword" out. On success the
// connection's session is the operator's; on refusal (ErrNo 1) the connection has no
// session.
QString LoginMethod(TClientConnection& con, const QString& request);

// "SetPassword": "NewPassword", "OldPassword" and optionally "OpID" in; "ErrNo", "ErrMsg"
// out. The logged-in operator changes their own password by giving the old one (empty when
// they have none yet); a system manager may set any operator's password without it.
QString SetPasswordMethod(TClientConnection& con, const QString& request);

// "GetLoginInfo": what a login window shows before anyone is logged in: "AccountName" and
// "Operators", a data packet of the operators that may log in (opid, code, opname,
// haspassword), never their hashes.
QString GetLoginInfoMethod(TClientConnection& con, const QString& request);
