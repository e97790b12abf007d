/* nwomapi: the client library of the framework's object repository (Orbmap).
 *
 * A repository holds objects of named classes; each class declares its
 * properties and their value types. Programs reach a repository only through
 * the flat C functions below; libnwomapi.so keeps every repository in one
 * SQLite database in the machine root (<root>/orbmap/<name>.orb.db).
 *
 * Conventions
 *
 *  1. Handles. Every client object (kernel, connection, criteria list,
 *     property list, selection, current object) is named by a 32-bit handle;
 *     0 means none. Handles are never pointers: a stale handle (already
 *     freed), a handle of another kind, or a value never handed out answers a
 *     code and never crashes. The code tells which kind was wrong: kernel 5,
 *     connection 25, criteria or property list or object 8, selection 13.
 *
 *  2. Results. Every function returns an ORBOM_RC (orbom_codes.h), 0 on
 *     success. Out arguments are written only on success, except out handles,
 *     which are set to 0 whenever a call fails. Nothing throws.
 *
 *  3. Pointers. A required pointer that is null answers 11
 *     (ORBOM_RC_INVALID_POINTER_PARAMETER); an empty class name 31.
 *
 *  4. Names. Texts are zero-terminated 8-bit strings. Class and property
 *     names: letters, digits and '_', at most 31 characters, compared with
 *     letter case. Repository names: at most 29 characters, no '/', '\\',
 *     control characters, and not "." or ".."; others answer 7
 *     (ORBOM_RC_INVALID_REPOSITORY). Client names: at most 31 characters
 *     (longer ones are cut).
 *
 *  5. Values. A value is (type, length, bytes); the types and lengths:
 *       ORBOM_TYPE_STRING    0   text length, no terminator
 *       ORBOM_TYPE_INTEGER   1   4 (int32_t)
 *       ORBOM_TYPE_DOUBLE    9   8 (double)
 *       ORBOM_TYPE_UUID     10   16 (platform UUID layout)
 *       ORBOM_TYPE_BOOLEAN  11   4 (int32_t; stored as 0 or 1)
 *       ORBOM_TYPE_DATETIME 12   text length (in); text length + 1 (out,
 *                                ORBOM_Object_GetProperty counts the zero)
 *       ORBOM_TYPE_CHAR     14   1
 *       ORBOM_TYPE_BINARY   16   the caller's length
 *     A type code not in this list answers 33 (ORBOM_RC_INVALID_DATATYPE); a
 *     value whose type differs from the property's declared type answers 34
 *     (ORBOM_RC_DATATYPE_MISMATCH); a fixed-size value of another length 41
 *     (ORBOM_RC_LENGTH_MISMATCH). Texts longer than their length, or holding
 *     a zero before it, are cut at the length or the zero. A value is null
 *     when the property list's null flag is set; a property missing from a
 *     create is null. Every value keeps its declared type; reads answer it.
 *
 *  6. Classes. An unknown class answers 10 (ORBOM_RC_INVALID_CLASS), an
 *     unknown property 40 (ORBOM_RC_INVALID_PROPERTY). Objects are found by
 *     their properties; "uuid" is an ordinary property that callers fill
 *     (the client does not invent one and does not refuse a repeated one).
 *     Class names that differ only in letter case cannot both exist, nor can
 *     two such property names in one class.
 *
 *  7. Memory. The client owns everything behind a handle until the handle is
 *     freed (Free, EndSelect, Disconnect, Stop). The value address returned by
 *     ORBOM_Object_GetProperty, and the object handle returned by
 *     ORBOM_ObjectList_GetNext, stay valid until the next GetNext or EndSelect
 *     on the same selection; texts there are followed by a zero byte.
 *     Callers own every buffer they pass; the client copies at most the size
 *     given.
 *
 *  8. Storage and concurrency. Every operation that writes is one
 *     transaction (SQLite: BEGIN IMMEDIATE; PostgreSQL: one pipelined
 *     exchange): it happens whole or not at all. Many
 *     processes and threads may use one repository at once; writers are
 *     serialised and no update is lost. Handles may be used from any thread;
 *     calls on one connection are serialised by the client. A selection reads
 *     all its objects when it is made, so later writes do not change it.
 *     Database failures answer 29 (ORBOM_RC_REPOSITORY_NATIVE_ERROR); the
 *     native text and code are kept on the connection
 *     (ORBOM_Repository_GetNativeError). A damaged repository file answers 7
 *     (ORBOM_RC_REPOSITORY_DAMAGED): Connect checks every page and refuses
 *     it; damage found later makes that call answer 7, and every later write
 *     on the connection answers 7 without touching the file. A repository in
 *     PostgreSQL answers 62 (ORBOM_RC_REPOSITORY_CONNECTION_LOST) when the
 *     connection to the server was lost; the next operation connects again.
 *     A unit of work open then is gone: its operations answer 62 up to its
 *     end, Commit 62 and Rollback 0.
 *
 *  9. Transactions spanning calls: ORBOM_Transaction_Begin makes the
 *     connection's following operations one unit of work, ended by
 *     ORBOM_Transaction_Commit or ORBOM_Transaction_Rollback (below).
 *
 * 10. Not supported: criteria other than equality, deleting classes or
 *     properties.
 *
 * Which repositories a machine has: every <name>.orb.db file in
 * <root>/orbmap, and every name the framework's registry puts in a
 * PostgreSQL database (ORBOM_Repository_Register). The listing
 * (ORBOM_Repository_EnumBegin with flag 1) starts with the default repository: the framework's registry value "RepositoryName",
 * then "DefaultRepository", under HKLM "SOFTWARE\\NorwindSystems\\NW-Sentinex/
 * Orb\\Orbmap\\Orbmap/API", the first that names an existing repository;
 * then the others by name.
 */
#ifndef NWOMAPI_H
#define NWOMAPI_H

#include <stdint.h>

#include "framework/nwomapi/orbom_codes.h"

#ifdef __cplusplus
extern "C" {
#endif

#define NWOMAPI_EXPORT __attribute__((visibility("default")))

typedef uint32_t ORBOM_HANDLE;
typedef ORBOM_HANDLE ORBOM_KERNEL;
typedef ORBOM_HANDLE ORBOM_CONNECTION;
typedef ORBOM_HANDLE ORBOM_CRITERIA;
typedef ORBOM_HANDLE ORBOM_PROPLIST;
typedef ORBOM_HANDLE ORBOM_SELECTION;
typedef ORBOM_HANDLE ORBOM_OBJECT;

/* Value types (convention 5). */
#define ORBOM_TYPE_STRING 0
#define ORBOM_TYPE_INTEGER 1
#define ORBOM_TYPE_DOUBLE 9
#define ORBOM_TYPE_UUID 10
#define ORBOM_TYPE_BOOLEAN 11
#define ORBOM_TYPE_DATETIME 12
#define ORBOM_TYPE_CHAR 14
#define ORBOM_TYPE_BINARY 16

/* Limits, in characters without the terminating zero. */
#define ORBOM_MAX_CLIENT_NAME 31
#define ORBOM_MAX_CLASS_NAME 31
#define ORBOM_MAX_PROPERTY_NAME 31
#define ORBOM_MAX_REPOSITORY_NAME 29
#define ORBOM_NATIVE_ERROR_SIZE 1024

/* Criteria operators and connectors (ORBOM_Criteria_Add). */
#define ORBOM_OP_EQUAL 0
#define ORBOM_CONNECT_AND 1

/* Repository listing flags (ORBOM_Repository_EnumBegin). */
#define ORBOM_ENUM_BY_NAME 0
#define ORBOM_ENUM_DEFAULT_FIRST 1

/* ---- Kernel: one client context; connections are made on it. ---- */

/* clientName may be null or empty; reserved: pass 0. */
NWOMAPI_EXPORT ORBOM_RC ORBOM_Kernel_Start(const char* clientName, ORBOM_KERNEL* kernel,
                                           uint32_t reserved);
/* Disconnects the kernel's remaining connections, releases it, sets *kernel to 0. */
NWOMAPI_EXPORT ORBOM_RC ORBOM_Kernel_Stop(ORBOM_KERNEL* kernel);

/* ---- Repositories ---- */

/* Local access: no sign-on. 7 when the repository does not exist or the name
 * is refused (convention 4). */
NWOMAPI_EXPORT ORBOM_RC ORBOM_Repository_Connect(ORBOM_KERNEL kernel, const char* repository,
                                                 ORBOM_CONNECTION* connection);
/* Checks the repository's accounts: 28 on an unknown user or a wrong
 * password. A repository without accounts accepts any sign-on, as local
 * access would. */
NWOMAPI_EXPORT ORBOM_RC ORBOM_Repository_ConnectAndSignOn(ORBOM_KERNEL kernel,
                                                          const char* repository,
                                                          ORBOM_CONNECTION* connection,
                                                          const char* user,
                                                          const char* password);
/* Ends the connection and every selection made on it; sets *connection to 0. */
NWOMAPI_EXPORT ORBOM_RC ORBOM_Repository_Disconnect(ORBOM_CONNECTION* connection);

/* Default repository and listing, in two calls: EnumBegin takes a snapshot of
 * the machine's repositories (flag ORBOM_ENUM_DEFAULT_FIRST: the default one
 * first, then the others by name; ORBOM_ENUM_BY_NAME: all by name; another
 * flag 24). Each EnumNext then copies the next name into buffer (size bytes,
 * zero-terminated; 30 or 32 bytes always suffice): 0, 15 after the last name
 * (16 when the machine has no repository at all), 26 when the buffer is too
 * small (the name is not consumed), 13 without EnumBegin. */
NWOMAPI_EXPORT ORBOM_RC ORBOM_Repository_EnumBegin(ORBOM_KERNEL kernel, uint32_t flags);
NWOMAPI_EXPORT ORBOM_RC ORBOM_Repository_EnumNext(ORBOM_KERNEL kernel, char* buffer,
                                                  uint32_t size);

/* Creates an empty repository holding the framework's own classes and
 * objects, where the machine's settings put the name (ORBOM_Repository_Register).
 * 65 when one of that name exists, 7 for a refused name or unusable
 * settings. */
NWOMAPI_EXPORT ORBOM_RC ORBOM_Repository_Create(ORBOM_KERNEL kernel, const char* repository);

/* Puts the named repository in a PostgreSQL database: backend "postgresql",
 * connection a libpq connection string without password (the password
 * comes from libpq's password file), schema the schema that holds its
 * tables (null or "": "public"). Backend "sqlite" puts the name back in the
 * machine's own file. Writes the framework's registry settings only; 44 for
 * settings that would be refused (an unknown backend, a connection string
 * libpq cannot read or that holds a password, a schema that is not a name
 * of letters, digits and '_'), with the reason as the native error of
 * connection 0. */
NWOMAPI_EXPORT ORBOM_RC ORBOM_Repository_Register(ORBOM_KERNEL kernel, const char* repository,
                                                  const char* backend, const char* connection,
                                                  const char* schema);

/* The database's own error text and code of the connection's last failure
 * that answered 29 (PostgreSQL: "SQLSTATE xxxxx: message", the code the
 * SQLSTATE packed six bits a character). Connection 0: the calling thread's
 * last failed connect, create or register, which has no connection to keep
 * it on. buffer gets at most size bytes, zero-terminated. */
NWOMAPI_EXPORT ORBOM_RC ORBOM_Repository_GetNativeError(ORBOM_CONNECTION connection, char* buffer,
                                                        uint32_t size, int32_t* nativeCode);

/* ---- Criteria lists: equality tests that all must hold ---- */

/* count: entries the caller means to add (a hint; the list grows). */
NWOMAPI_EXPORT ORBOM_RC ORBOM_Criteria_Allocate(ORBOM_CRITERIA* criteria, uint32_t count);
/* property = value. op must be ORBOM_OP_EQUAL and connector ORBOM_CONNECT_AND
 * (else 24). A null value with length 0 matches objects whose property is
 * null. Two criteria on one property must both hold. Names and types are
 * checked against the class when the list is used (select, update, delete). */
NWOMAPI_EXPORT ORBOM_RC ORBOM_Criteria_Add(ORBOM_CRITERIA criteria, const char* property,
                                           uint32_t type, uint32_t length, const void* value,
                                           uint32_t op, uint32_t connector);
/* Removes every entry; the list stays allocated (and then matches everything). */
NWOMAPI_EXPORT ORBOM_RC ORBOM_Criteria_Clear(ORBOM_CRITERIA criteria);
NWOMAPI_EXPORT ORBOM_RC ORBOM_Criteria_Free(ORBOM_CRITERIA* criteria);

/* ---- Property lists: values for create and update ---- */

NWOMAPI_EXPORT ORBOM_RC ORBOM_PropertyList_Allocate(ORBOM_PROPLIST* list, uint32_t count);
/* isNull non-zero stores null (value and length are then ignored). A property
 * added twice takes the later value. */
NWOMAPI_EXPORT ORBOM_RC ORBOM_PropertyList_Add(ORBOM_PROPLIST list, const char* name,
                                               uint32_t type, uint32_t length, const void* value,
                                               uint32_t isNull);
NWOMAPI_EXPORT ORBOM_RC ORBOM_PropertyList_Free(ORBOM_PROPLIST* list);

/* ---- Selections ---- */

/* Selects the objects of cls that match criteria (0: every object).
 * properties: "*" for all, or one property name (null means "*").
 * reserved: pass 0. Out: the selection, the exact number of objects, the
 * number of classes searched (always 1), the number of properties each
 * object delivers. No match is not an error: 0 with objectCount 0. */
NWOMAPI_EXPORT ORBOM_RC ORBOM_ObjectList_Select(ORBOM_CONNECTION connection, const char* cls,
                                                ORBOM_CRITERIA criteria, const char* properties,
                                                uint32_t reserved, ORBOM_SELECTION* selection,
                                                uint32_t* objectCount, uint32_t* classCount,
                                                uint32_t* propertyCount);
/* Delivers the next object: 14 when more objects follow it, 0 when it is the
 * last one; 15 (and *object 0) when none is left. remaining (may be null):
 * objects still to come after this one. */
NWOMAPI_EXPORT ORBOM_RC ORBOM_ObjectList_GetNext(ORBOM_SELECTION selection, ORBOM_OBJECT* object,
                                                 uint32_t* remaining);
NWOMAPI_EXPORT ORBOM_RC ORBOM_ObjectList_EndSelect(ORBOM_SELECTION* selection);

/* One property of the current object: its declared type, length (convention
 * 5), value address (convention 7; null when the value is null) and null
 * flag (1 or 0). 40 for a property the class lacks or the selection left
 * out. */
NWOMAPI_EXPORT ORBOM_RC ORBOM_Object_GetProperty(ORBOM_OBJECT object, const char* name,
                                                 uint32_t* type, uint32_t* length,
                                                 const void** value, uint8_t* isNull);

/* ---- Objects: each call is one transaction ---- */

NWOMAPI_EXPORT ORBOM_RC ORBOM_Object_Create(ORBOM_CONNECTION connection, const char* cls,
                                            ORBOM_PROPLIST properties);
/* Sets the listed properties of every matching object (criteria 0: all).
 * 16 with *count 0 when nothing matched. */
NWOMAPI_EXPORT ORBOM_RC ORBOM_Object_Update(ORBOM_CONNECTION connection, const char* cls,
                                            ORBOM_CRITERIA criteria, ORBOM_PROPLIST properties,
                                            uint32_t* count);
/* Deletes every matching object (criteria 0: all) and, in the same
 * transaction, every "Inclusion" link whose parent or child is one of them
 * (its "parent_class" or "child_class" the class, its "parent_uuid" or
 * "child_uuid" the object's "uuid"), so no link is left pointing at nothing.
 * *count: the objects of cls deleted. 16 with *count 0 when nothing matched. */
NWOMAPI_EXPORT ORBOM_RC ORBOM_Object_Delete(ORBOM_CONNECTION connection, const char* cls,
                                            ORBOM_CRITERIA criteria, uint32_t* count);

/* ---- Transactions: several operations as one unit of work ----
 *
 * Begin starts a unit of work on the connection; every operation made on the
 * connection until Commit or Rollback belongs to it, whatever thread makes
 * it. The contract:
 *  - All or nothing: Commit makes the unit's writes visible at once; Rollback,
 *    Disconnect, Kernel_Stop or the end of the process (a crash included)
 *    before Commit undoes every one of them.
 *  - Exclusive: two units of work on one repository never run at the same
 *    time, across connections and processes. Begin waits while another unit
 *    is open (up to the busy time-out, then 61); on PostgreSQL the unit's
 *    first operation waits instead (up to 15 s, then it and the rest of the
 *    unit answer 61), since Begin travels with it. So a find-then-create
 *    inside a unit cannot race with the same find-then-create of another
 *    program, on any machine. Writes made outside any unit may wait as well.
 *  - Inside the unit, selections see the unit's own writes; other
 *    connections see none of them before Commit.
 *  - A write that fails inside the unit undoes only itself; the unit stays
 *    open and the caller chooses Commit or Rollback.
 *  - Units do not nest: Begin while one is open answers 12
 *    (ORBOM_RC_SELECT_IN_PROGRESS); Commit or Rollback without one 13
 *    (ORBOM_RC_NO_SELECT). A failed Commit leaves the unit rolled back.
 * Keep units short: they hold the repository's write lock. */
NWOMAPI_EXPORT ORBOM_RC ORBOM_Transaction_Begin(ORBOM_CONNECTION connection);
NWOMAPI_EXPORT ORBOM_RC ORBOM_Transaction_Commit(ORBOM_CONNECTION connection);
NWOMAPI_EXPORT ORBOM_RC ORBOM_Transaction_Rollback(ORBOM_CONNECTION connection);

/* ---- Classes ---- */

/* Imports class definitions and required objects from text in the
 * class-definition format (README). All or nothing: on a malformed text or a
 * conflict with the repository nothing changes, *errorLine gets the 1-based
 * line (0 when no line is to blame) and message a description (at most
 * messageSize bytes, zero-terminated; both outputs may be null). Codes: 44
 * for a malformed text or value, 48 for a property declared with another type
 * than the repository's, 10 and 40 for an object of an unknown class or
 * property, 29 for a database failure. Importing the same text twice changes
 * nothing. */
NWOMAPI_EXPORT ORBOM_RC ORBOM_Class_Import(ORBOM_CONNECTION connection, const char* text,
                                           uint32_t length, uint32_t* errorLine, char* message,
                                           uint32_t messageSize);
/* The index-th class (0-based, ordered by name) into buffer: 0, 15 past the
 * last class, 26 when buffer is too small. */
NWOMAPI_EXPORT ORBOM_RC ORBOM_Class_Enum(ORBOM_CONNECTION connection, uint32_t index, char* buffer,
                                         uint32_t size);
/* The index-th property of cls (0-based, in declaration order): its name into
 * buffer and its type. 10 for an unknown class, 15 past the last property,
 * 26 when buffer is too small. */
NWOMAPI_EXPORT ORBOM_RC ORBOM_Class_GetPropertyInfo(ORBOM_CONNECTION connection, const char* cls,
                                                    uint32_t index, char* buffer, uint32_t size,
                                                    uint32_t* type);

/* ---- Accounts for ORBOM_Repository_ConnectAndSignOn ---- */

/* Adds the account or changes its password. Passwords are kept only as
 * salted PBKDF2 hashes. An empty user name answers 11. */
NWOMAPI_EXPORT ORBOM_RC ORBOM_Account_Set(ORBOM_CONNECTION connection, const char* user,
                                          const char* password);
/* 0 when the user exists and the password is right, 28 otherwise. */
NWOMAPI_EXPORT ORBOM_RC ORBOM_Account_Check(ORBOM_CONNECTION connection, const char* user,
                                            const char* password);

/* ---- Measurement ---- */

/* How many exchanges with a database this process has made, every
 * connection counted: round trips to a PostgreSQL server, statements run on
 * SQLite files. For benchmarks; 11 for a null pointer. */
NWOMAPI_EXPORT ORBOM_RC ORBOM_Statistics_Exchanges(uint64_t* count);

/* What a connection's read cache did (connection 0: every connection of
 * this process, summed). hits: selects answered without the database;
 * misses: selects the cache could have answered but had to ask for;
 * invalidations: times a class's entries were dropped because it changed;
 * entries and bytes: held now (bytes at most capBytes); enabled: 0 when the
 * repository's "ReadCache" is 0 or its database gives no change signals.
 * 11 for a null pointer, 25 for an unknown connection. */
typedef struct ORBOM_CACHE_STATS {
    uint64_t hits;
    uint64_t misses;
    uint64_t invalidations;
    uint64_t entries;
    uint64_t bytes;
    uint64_t capBytes;
    uint32_t enabled;
} ORBOM_CACHE_STATS;
NWOMAPI_EXPORT ORBOM_RC ORBOM_Statistics_Cache(ORBOM_CONNECTION connection,
                                               ORBOM_CACHE_STATS* stats);

#ifdef __cplusplus
}
#endif

#endif /* NWOMAPI_H */
