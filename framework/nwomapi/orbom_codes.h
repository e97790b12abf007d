/* Result codes of the repository client (nwomapi).
 *
 * Every client operation returns one of these as a 32-bit signed value;
 * 0 is success. The numbers and names are the framework's own and are shown
 * by callers' code-to-name tables, so they never change. Two numbers share a
 * name twice (42/43, 61/62): the second of each pair has its own macro here
 * so that both can be written in code, but ORBOM_RC_FOREACH reports the
 * shared name for both.
 *
 * Plain C, no dependencies: the backup product's headers include it.
 */
#ifndef ORBOM_CODES_H
#define ORBOM_CODES_H

#include <stdint.h>

typedef int32_t ORBOM_RC;

#define ORBOM_RC_SUCCESS 0
#define ORBOM_RC_OK 1
#define ORBOM_RC_CANCEL 2
#define ORBOM_RC_UNKNOWN 3
#define ORBOM_RC_UNIMPLEMENTED 4
#define ORBOM_RC_INVALID_KERNEL_CONTEXT 5
#define ORBOM_RC_INVALID_MAP_FILE 6
#define ORBOM_RC_INVALID_REPOSITORY 7
/* The same number, for a repository whose file the database found damaged
 * (every backend answers it so); reported as ORBOM_RC_INVALID_REPOSITORY. */
#define ORBOM_RC_REPOSITORY_DAMAGED 7
#define ORBOM_RC_INVALID_OBJECT 8
#define ORBOM_RC_INVALID_PARENT 9
#define ORBOM_RC_INVALID_CLASS 10
#define ORBOM_RC_INVALID_POINTER_PARAMETER 11
#define ORBOM_RC_SELECT_IN_PROGRESS 12
#define ORBOM_RC_NO_SELECT 13
#define ORBOM_RC_MORE_DATA 14
#define ORBOM_RC_END_OF_DATA 15
#define ORBOM_RC_NO_MATCH 16
#define ORBOM_RC_TOO_MANY_NOTIFICATION 17
#define ORBOM_RC_OUT_OF_MEMORY 18
#define ORBOM_RC_INVALID_WINDOW_HANDLE 19
#define ORBOM_RC_KERNEL_NOT_READY 20
#define ORBOM_RC_NO_POPUP_MENU 21
#define ORBOM_RC_START_PROCESS_ERROR 22
#define ORBOM_RC_NOT_ORBOM_MENUID 23
#define ORBOM_RC_INVALID_OPERATOR 24
#define ORBOM_RC_INVALID_REPOSITORY_CONTEXT 25
#define ORBOM_RC_BUFFER_TOO_SMALL 26
#define ORBOM_RC_OUT_OF_REPOSITORY_CONTEXT 27
#define ORBOM_RC_REPOSITORY_LOGIN_FAILED 28
#define ORBOM_RC_REPOSITORY_NATIVE_ERROR 29
#define ORBOM_RC_DATA_TRUNCATED 30
#define ORBOM_RC_MISSING_CLASS_NAME 31
#define ORBOM_RC_VIRTUAL_CLASS 32
#define ORBOM_RC_INVALID_DATATYPE 33
#define ORBOM_RC_DATATYPE_MISMATCH 34
#define ORBOM_RC_MISSING_REQUIRED_PROPERTY 35
#define ORBOM_RC_ERROR_ON_TEMP_FILE 36
#define ORBOM_RC_MISSING_CLASS_LEVEL_PROPERTY 37
#define ORBOM_RC_MISSING_SUPER_CLASS_NAME 38
#define ORBOM_RC_NO_INSTANCE_LEVEL_PROPERTY 39
#define ORBOM_RC_INVALID_PROPERTY 40
#define ORBOM_RC_LENGTH_MISMATCH 41
#define ORBOM_RC_CLASS_EXIST 42
#define ORBOM_RC_CLASS_EXIST2 43
#define ORBOM_RC_OPERATION_FAIL 44
#define ORBOM_RC_SYSTEM_CLASS 45
#define ORBOM_RC_HAS_CHILD_CLASS 46
#define ORBOM_RC_HAS_INSTANCE 47
#define ORBOM_RC_PROPERTY_EXIST 48
#define ORBOM_RC_LOAD_LIBRARY_ERROR 49
#define ORBOM_RC_MENU_FORMAT_ERROR 50
#define ORBOM_RC_MENU_PARAM_TOO_LONG 51
#define ORBOM_RC_COULD_NOT_OPEN_REGISTRY_KEY 52
#define ORBOM_RC_MENU_PARAM_NOT_FOUND 53
#define ORBOM_RC_SYSTEM_ERROR 54
#define ORBOM_RC_INVALID_COUNT 55
#define ORBOM_RC_UNKNOWN_STRUCTURE_VERSION 56
#define ORBOM_RC_INVALID_NOTIFICATION_CODE 57
#define ORBOM_RC_CREATE_PROCESS_FAIL 58
#define ORBOM_RC_INVALID_NOTIFICATION_HANDLE 59
#define ORBOM_RC_NOTIFICATION_ALREADY_ENABLE 60
#define ORBOM_RC_REPOSITORY_CONNECTION_BUSY 61
#define ORBOM_RC_REPOSITORY_CONNECTION_BUSY2 62
/* The same number, for a connection to a database server that was lost (the
 * next operation connects again); reported as ORBOM_RC_REPOSITORY_CONNECTION_BUSY. */
#define ORBOM_RC_REPOSITORY_CONNECTION_LOST 62
#define ORBOM_RC_PROTECTED_CLASS 63
#define ORBOM_RC_PROPERTY_CAN_NOT_BE_REQUIRED 64
#define ORBOM_RC_NAME_IS_NOT_UNIQUE 65
#define ORBOM_RC_PROPERTY_REQUIRE_VALUE 66
#define ORBOM_RC_INVALID_LENGTH 67
#define ORBOM_RC_INTERNAL1 9000
#define ORBOM_RC_INTERNAL2 9001
#define ORBOM_RC_INTERNAL3 9002
#define ORBOM_RC_INTERNAL4 9003
#define ORBOM_RC_INTERNAL5 9004
#define ORBOM_RC_INTERNAL6 9005
#define ORBOM_RC_INTERNAL7 9006
#define ORBOM_RC_INTERNAL8 9007
#define ORBOM_RC_INTERNAL9 9008
#define ORBOM_RC_INTERNAL10 9009

/* ORBOM_RC_FOREACH(X) calls X(code, "name") once per code, in ascending order,
 * with the name callers show for it. Code-to-name tables are built from it so
 * that no caller copies the list:
 *     #define ROW(code, name) case code: return name;
 *     switch (rc) { ORBOM_RC_FOREACH(ROW) default: return "UNKNOWN"; }
 */
#define ORBOM_RC_FOREACH(X)                                  \
    X(0, "ORBOM_RC_SUCCESS")                                 \
    X(1, "ORBOM_RC_OK")                                      \
    X(2, "ORBOM_RC_CANCEL")                                  \
    X(3, "ORBOM_RC_UNKNOWN")                                 \
    X(4, "ORBOM_RC_UNIMPLEMENTED")                           \
    X(5, "ORBOM_RC_INVALID_KERNEL_CONTEXT")                  \
    X(6, "ORBOM_RC_INVALID_MAP_FILE")                        \
    X(7, "ORBOM_RC_INVALID_REPOSITORY")                      \
    X(8, "ORBOM_RC_INVALID_OBJECT")                          \
    X(9, "ORBOM_RC_INVALID_PARENT")                          \
    X(10, "ORBOM_RC_INVALID_CLASS")                          \
    X(11, "ORBOM_RC_INVALID_POINTER_PARAMETER")              \
    X(12, "ORBOM_RC_SELECT_IN_PROGRESS")                     \
    X(13, "ORBOM_RC_NO_SELECT")                              \
    X(14, "ORBOM_RC_MORE_DATA")                              \
    X(15, "ORBOM_RC_END_OF_DATA")                            \
    X(16, "ORBOM_RC_NO_MATCH")                               \
    X(17, "ORBOM_RC_TOO_MANY_NOTIFICATION")                  \
    X(18, "ORBOM_RC_OUT_OF_MEMORY")                          \
    X(19, "ORBOM_RC_INVALID_WINDOW_HANDLE")                  \
    X(20, "ORBOM_RC_KERNEL_NOT_READY")                       \
    X(21, "ORBOM_RC_NO_POPUP_MENU")                          \
    X(22, "ORBOM_RC_START_PROCESS_ERROR")                    \
    X(23, "ORBOM_RC_NOT_ORBOM_MENUID")                       \
    X(24, "ORBOM_RC_INVALID_OPERATOR")                       \
    X(25, "ORBOM_RC_INVALID_REPOSITORY_CONTEXT")             \
    X(26, "ORBOM_RC_BUFFER_TOO_SMALL")                       \
    X(27, "ORBOM_RC_OUT_OF_REPOSITORY_CONTEXT")              \
    X(28, "ORBOM_RC_REPOSITORY_LOGIN_FAILED")                \
    X(29, "ORBOM_RC_REPOSITORY_NATIVE_ERROR")                \
    X(30, "ORBOM_RC_DATA_TRUNCATED")                         \
    X(31, "ORBOM_RC_MISSING_CLASS_NAME")                     \
    X(32, "ORBOM_RC_VIRTUAL_CLASS")                          \
    X(33, "ORBOM_RC_INVALID_DATATYPE")                       \
    X(34, "ORBOM_RC_DATATYPE_MISMATCH")                      \
    X(35, "ORBOM_RC_MISSING_REQUIRED_PROPERTY")              \
    X(36, "ORBOM_RC_ERROR_ON_TEMP_FILE")                     \
    X(37, "ORBOM_RC_MISSING_CLASS_LEVEL_PROPERTY")           \
    X(38, "ORBOM_RC_MISSING_SUPER_CLASS_NAME")               \
    X(39, "ORBOM_RC_NO_INSTANCE_LEVEL_PROPERTY")             \
    X(40, "ORBOM_RC_INVALID_PROPERTY")                       \
    X(41, "ORBOM_RC_LENGTH_MISMATCH")                        \
    X(42, "ORBOM_RC_CLASS_EXIST")                            \
    X(43, "ORBOM_RC_CLASS_EXIST")                            \
    X(44, "ORBOM_RC_OPERATION_FAIL")                         \
    X(45, "ORBOM_RC_SYSTEM_CLASS")                           \
    X(46, "ORBOM_RC_HAS_CHILD_CLASS")                        \
    X(47, "ORBOM_RC_HAS_INSTANCE")                           \
    X(48, "ORBOM_RC_PROPERTY_EXIST")                         \
    X(49, "ORBOM_RC_LOAD_LIBRARY_ERROR")                     \
    X(50, "ORBOM_RC_MENU_FORMAT_ERROR")                      \
    X(51, "ORBOM_RC_MENU_PARAM_TOO_LONG")                    \
    X(52, "ORBOM_RC_COULD_NOT_OPEN_REGISTRY_KEY")            \
    X(53, "ORBOM_RC_MENU_PARAM_NOT_FOUND")                   \
    X(54, "ORBOM_RC_SYSTEM_ERROR")                           \
    X(55, "ORBOM_RC_INVALID_COUNT")                          \
    X(56, "ORBOM_RC_UNKNOWN_STRUCTURE_VERSION")              \
    X(57, "ORBOM_RC_INVALID_NOTIFICATION_CODE")              \
    X(58, "ORBOM_RC_CREATE_PROCESS_FAIL")                    \
    X(59, "ORBOM_RC_INVALID_NOTIFICATION_HANDLE")            \
    X(60, "ORBOM_RC_NOTIFICATION_ALREADY_ENABLE")            \
    X(61, "ORBOM_RC_REPOSITORY_CONNECTION_BUSY")             \
    X(62, "ORBOM_RC_REPOSITORY_CONNECTION_BUSY")             \
    X(63, "ORBOM_RC_PROTECTED_CLASS")                        \
    X(64, "ORBOM_RC_PROPERTY_CAN_NOT_BE_REQUIRED")           \
    X(65, "ORBOM_RC_NAME_IS_NOT_UNIQUE")                     \
    X(66, "ORBOM_RC_PROPERTY_REQUIRE_VALUE")                 \
    X(67, "ORBOM_RC_INVALID_LENGTH")                         \
    X(9000, "ORBOM_RC_INTERNAL1")                            \
    X(9001, "ORBOM_RC_INTERNAL2")                            \
    X(9002, "ORBOM_RC_INTERNAL3")                            \
    X(9003, "ORBOM_RC_INTERNAL4")                            \
    X(9004, "ORBOM_RC_INTERNAL5")                            \
    X(9005, "ORBOM_RC_INTERNAL6")                            \
    X(9006, "ORBOM_RC_INTERNAL7")                            \
    X(9007, "ORBOM_RC_INTERNAL8")                            \
    X(9008, "ORBOM_RC_INTERNAL9")                            \
    X(9009, "ORBOM_RC_INTERNAL10")

#endif /* ORBOM_CODES_H */
