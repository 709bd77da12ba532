/*
 * lce32.h - the operations of the Lumen client engine (liblce32.so).
 *
 * Conventions of every operation:
 *   - The result is an UNSIGNED32 code: 0 success, otherwise an error code
 *     (LUM_ERR_... below). On failure the code and an English text that names
 *     what failed and on which file or table are kept per thread for
 *     LumGetLastError.
 *   - Handles (connection, table or SQL cursor, index, statement, search)
 *     are LUMHANDLE values returned through out-parameters; 0 is never a
 *     valid handle. A bad handle, a short buffer or a wrong argument is an
 *     error code, never a crash.
 *   - Text is 8-bit and NUL-terminated. A text result has a UNSIGNED16
 *     length: capacity of the buffer on entry (including the NUL), length of
 *     the text (without the NUL) on return. A buffer that is too small gives
 *     LUM_ERR_BUFFER_TOO_SMALL (5005) and the length needed.
 *   - Yes/no answers are UNSIGNED16 flags, non-zero meaning yes.
 *   - Columns count from 1. A field argument (LUMFIELD) is either a field
 *     name or a column number given with LUM_FIELD_NUMBER(n); values below
 *     0x10000 are taken as numbers. Statement parameters are addressed the
 *     same way: by 1-based ordinal or by name.
 *   - Both "/" and "\" separate directories in every path.
 *   - Reading opens files for reading only and creates no file beside
 *     them (see Writing below). A file another program holds locked is waited for, up to the
 *     SQL time-out of the connection (LumSetSQLTimeout, milliseconds) when
 *     one is set, else 10 seconds; then LUM_ERR_LOCKED. A table keeps the
 *     wait it was opened with; the dictionary follows its connection's. Failures of files
 *     are told apart: LUM_ERR_LOCKED, LUM_ERR_NEEDS_WRITER, LUM_ERR_NOT_A_TABLE
 *     or LUM_ERR_NOT_A_DICTIONARY, LUM_ERR_DAMAGED (the text names the file
 *     and the record where one is known); each text says what to do.
 *
 * Choices of this engine where the operations leave them open:
 *   - Record lengths, field lengths and offsets, bookmark lengths and record
 *     counts are UNSIGNED32. LumGetField's length is UNSIGNED32 (memo text).
 *   - A bookmark is 4 bytes: the physical record number (little-endian).
 *   - Key bytes of LumBuildRawKey: per segment a marker byte (0x00 null or
 *     empty, 0x01 value) then the value in an order-preserving form; byte
 *     order (memcmp) is index order; null and empty order first. A raw key
 *     may hold fewer segments than the index (a partial key).
 *   - Text scope keys (LumSetScope kind 2) give the value of the first
 *     segment as text; on a character segment the text is a prefix.
 *   - Handle types (LumGetHandleType): 1 connection, 2 table, 3 index,
 *     4 statement, 5 SQL cursor, 6 dictionary connection.
 *   - Count modes (LumGetRecordCount): 1 respect filters and scopes,
 *     2 ignore them, 3 respect scopes; adding 4 forces a fresh count.
 *   - Bits of LumGetTableOpenOptions: 1 exclusive, 2 read-only, 0x20 update
 *     permitted, 0x40 insert permitted.
 *   - Bits of LumGetIndexFlags: 1 unique, 2 descending, 4 primary key,
 *     8 candidate, 16 has a condition.
 *   - Index files: a table's own indexes live in its file. Further indexes
 *     come from separate index files (see engine/src/index_file.h): a file
 *     beside the table holds index definitions only, and LumOpenIndex
 *     builds their keys over the table's rows in the memory of the open
 *     table, so opening one creates or changes nothing in the folder. Writes
 *     through the connection keep those keys in step; rows another program
 *     writes join them when the file is opened again. LumCloseIndex on one
 *     of its indexes closes the whole file.
 *   - Dictionary properties: see LumDictionaryProperty. A field's default
 *     value is the text a user would type into it.
 *   - Writing. A table opened without the read-only option may be written:
 *     record editing on the table handle (LumAppendRecord, the setters,
 *     LumDeleteRecord, LumWriteRecord, LumCancelUpdate) and SQL INSERT,
 *     UPDATE and DELETE. Opening and reading never create or change a file:
 *     the first write (or lock, or an exclusive open) of a table opens it for
 *     writing and creates its lock file NAME.LDT.lck beside it, which stays.
 *     Each write keeps the record's columns, its image and its index keys
 *     together: all or nothing. A duplicate in a unique index answers
 *     LUM_ERR_DUPLICATE_KEY and writes nothing.
 *   - Editing a record: the setters on a table handle change the current
 *     record's pending image (LumGetRecord and LumGetField show it); the
 *     first setter starts the edit. LumWriteRecord writes it, LumCancelUpdate
 *     drops it; moving the cursor with changes pending writes them first.
 *     LumAppendRecord starts a new record that gets its record number (and
 *     its auto-increment values) when it is written. LumDeleteRecord marks
 *     the current record for deletion, done by LumWriteRecord: NTX, CDX and
 *     VFP records keep their place with the deletion flag "*" (LumRecallRecord
 *     clears it; LumShowDeleted(0) hides them from navigation, record counts
 *     still include them), LDT records are removed.
 *   - Locks hold across processes and end with their process: record locks
 *     (LumLockRecord, 0 for the current record), the table lock and the
 *     exclusive open (option 1). Locks belong to the connection; closing a
 *     table handle releases the locks it took. A write takes the record's
 *     lock for itself while it runs (in a transaction, until it ends). A lock
 *     another connection holds answers LUM_ERR_LOCKED at once.
 *   - Rights: with rights checking (usCheckRights 1) a table file marked
 *     read-only (no write permission bit) opens without the update and insert
 *     rights (LumGetTableOpenOptions), and columns without the update or
 *     insert permission (LumGetColumnPermissions bits 2 and 4) refuse being
 *     written; both answer LUM_ERR_NO_RIGHTS. A table opened read-only
 *     answers LUM_ERR_READ_ONLY to every write.
 *   - Transactions (LumBeginTransaction) cover every table the connection
 *     writes in them, also through SQL; savepoints and rollbacks undo. Each
 *     table file commits all or nothing; the files of one transaction commit
 *     one after another, so a crash between two of them leaves the earlier
 *     committed (a failure before the first commits nothing). The table
 *     handles of the connection read its uncommitted writes; a SELECT, and
 *     the other tables an INSERT, UPDATE or DELETE reads, see only what is
 *     committed. A write that fails (a lock, a duplicate key, a value that
 *     does not fit) undoes only itself; only a failure of the disk in the
 *     middle of a record's write rolls the whole transaction back.
 *   - SQL: SELECT reads the table files read-only; INSERT, UPDATE and
 *     DELETE change their table as described under Writing. Other
 *     statements answer 7200 (NativeError 2116) before any table is opened.
 *     System procedures run as "EXECUTE PROCEDURE name(arguments)", each
 *     argument a parameter marker or a literal: sp_setapplicationid(id)
 *     gives the connection an application id of at most 300 characters,
 *     sp_getapplicationid() answers it as one row with the character column
 *     "ApplicationID". Another name answers 7200.
 *   - An SQL cursor stays open when its statement is closed; it is closed
 *     with LumCloseTable or with its connection.
 *   - The text of LumGetActiveLinkInfo is "link alias;dictionary path". This
 *     engine keeps no links: LumGetNumActiveLinks answers 0.
 *   - A table-file mask that names only a folder lists its "*.LDT" files.
 *     LumDDFindFirstObject needs a dictionary connection.
 *   - Expressions (filters, LumEvalLogicalExpr, the long and short forms):
 *     see engine/src/expression.h for the language. A text that does not
 *     parse, mixes types or passes a limit answers LUM_ERR_EXPRESSION, an
 *     unknown field LUM_ERR_FIELD_NOT_FOUND. A filter (LumSetFilter) and an
 *     optimised filter (LumSetLOF) may both be set; navigation shows the
 *     records that meet both, count mode 1 and LumGetKeyNum mode 1 count
 *     them. LumSetExact22 applies to the table handle and all its indexes:
 *     on (the default) "=" compares whole texts, off it matches a prefix.
 *   - Seeks (LumSeek) go to the first record of the index order, within its
 *     scopes, whose key is not below the key given: raw key bytes (kind 1,
 *     possibly of fewer segments) or the first segment's value as text
 *     (kind 2, a prefix on a character segment). The flag tells whether that
 *     record's key begins with the key given. A soft seek that finds no
 *     match stays on that next record (after the last when there is none);
 *     a hard seek goes after the last record.
 *   - Encryption is declared for the access layer but answers
 *     LUM_ERR_NOT_SUPPORTED (5004) in this version of the engine.
 */
#ifndef LCE32_H
#define LCE32_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef uint32_t UNSIGNED32;
typedef int32_t SIGNED32;
typedef uint16_t UNSIGNED16;
typedef int16_t SIGNED16;
typedef uint8_t UNSIGNED8;
typedef uint32_t LUMHANDLE;
typedef const char* LUMFIELD;

#define LUM_FIELD_NUMBER(n) ((LUMFIELD)(uintptr_t)(n))

/* Engine column types (LumGetFieldType). */
#define LUM_LOGICAL 1
#define LUM_NUMERIC 2
#define LUM_DATE 3
#define LUM_STRING 4
#define LUM_MEMO 5
#define LUM_BINARY 6
#define LUM_IMAGE 7
#define LUM_VARCHAR_MEMO 8
#define LUM_COMPACTDATE 9
#define LUM_DOUBLE 10
#define LUM_INTEGER 11
#define LUM_SHORTINT 12
#define LUM_TIME 13
#define LUM_TIMESTAMP 14
#define LUM_AUTOINC 15
#define LUM_RAW 16
#define LUM_CURDOUBLE 17
#define LUM_MONEY 18
#define LUM_CISTRING 20
#define LUM_LONGLONG 21
#define LUM_MODTIME 22
#define LUM_VARCHAR 23
#define LUM_VARBINARY 24
#define LUM_BLOB51 51
#define LUM_BLOB52 52
/* Unicode column types, which the layer refuses. */
#define LUM_NCHAR 26
#define LUM_NVARCHAR 27
#define LUM_NMEMO 28

/* Table types and character types. */
#define LUM_NTX 1
#define LUM_CDX 2
#define LUM_LDT 3
#define LUM_VFP 4
#define LUM_ANSI 1
#define LUM_OEM 2

/* Server-type mask bits of LumConnect60. */
#define LUM_LOCAL_SERVER 1
#define LUM_REMOTE_SERVER 2
#define LUM_LIS_SERVER 4

/* Options of LumAccessVfpSystemField. */
#define LUM_VFP_NULL_FLAG 1 /* the column's null flag */
#define LUM_VFP_FULL_FLAG 4 /* the variable column's value fills it */

/* Scopes. */
#define LUM_TOP 1
#define LUM_BOTTOM 2
#define LUM_RAWKEY 1
#define LUM_STRINGKEY 2

/* Seeks. */
#define LUM_SOFTSEEK 1
#define LUM_HARDSEEK 2

/* Error codes: one enumeration for the engine and the access layer. The
 * engine answers with the first group; the second group are codes the layer
 * meets or raises itself and the engine of this version never returns. */
enum LumErrorCode {
    LUM_ERR_NOT_SUPPORTED = 5004,    /* operation not available in this engine */
    LUM_ERR_BUFFER_TOO_SMALL = 5005, /* more data than room; the length needed is returned */
    LUM_ERR_INVALID_ARGUMENT = 5012, /* null pointer, option out of range, value that does not fit */
    LUM_ERR_INVALID_HANDLE = 5018,   /* unknown, closed or wrong kind of handle */
    LUM_ERR_FIELD_NOT_FOUND = 5020,  /* no such column / parameter */
    LUM_ERR_INDEX_NOT_FOUND = 5021,  /* no such index (also past the last segment) */
    LUM_ERR_RECORD_NOT_FOUND = 5022, /* record number or bookmark does not exist */
    LUM_ERR_CONNECTION_GONE = 5024,  /* connection already disconnected */
    LUM_ERR_NO_COLLATION = 5025,     /* the table has no collation of its own */
    LUM_ERR_TABLE_TYPE = 5030,       /* the file's table type differs from the one asked */
    LUM_ERR_LOCKED = 5035,           /* another program held its lock on the file past the wait */
    LUM_ERR_NEEDS_WRITER = 5036,     /* left mid-write (journal or write-ahead log beside it), or kept in
                                        write-ahead-log mode without its files: a program that may write
                                        must open it first; reading it alone would change the folder */
    LUM_ERR_NO_FILTER = 5037,
    LUM_ERR_NO_SCOPE = 5038,
    LUM_ERR_NO_KEY_POSITION = 5041,   /* no current key for a relative position */
    LUM_ERR_CALLER_TEXT = 5054,       /* code used by callers with LumSetLastError */
    LUM_ERR_END_OF_TABLES = 5059,     /* LumFindFirstTable/LumFindNextTable: no more */
    LUM_ERR_READ_ONLY = 5066,         /* write on a table opened read-only */
    LUM_ERR_NO_CURRENT_RECORD = 5068, /* positioned before the first or after the last record */
    LUM_ERR_NO_RIGHTS = 5091,         /* the user may not write this table or column */
    LUM_ERR_STATEMENT_CLOSED = 5106,
    LUM_ERR_EXPRESSION = 5110, /* an expression that does not parse, mixes types or passes a limit */
    LUM_ERR_NO_ROW_COUNT = 5117,
    LUM_ERR_NOT_IN_DICTIONARY = 5132,
    LUM_ERR_END_OF_OBJECTS = 5137, /* LumDDFindFirstObject/LumDDFindNextObject: no more */
    LUM_ERR_PROPERTY_NOT_SET = 5138,
    LUM_ERR_TRANSACTION = 5140,     /* commit/rollback without a transaction, unknown savepoint */
    LUM_ERR_INDEX_FILE_OPEN = 5083, /* the index file, or an index of the same name, is open on the table */
    LUM_ERR_NO_SERVER = 6420,       /* no server of the requested kind can be reached */
    LUM_ERR_FILE_NOT_FOUND = 7008,
    LUM_ERR_NOT_A_TABLE = 7016,       /* the file is not a table file */
    LUM_ERR_DAMAGED = 7017,           /* damaged or truncated file */
    LUM_ERR_NOT_AN_INDEX_FILE = 7018, /* the file is not an index file of this engine */
    LUM_ERR_NOT_A_DICTIONARY = 7019,
    LUM_ERR_FILE_EXISTS = 7020,
    LUM_ERR_WRITE_FAILED = 7022,
    LUM_ERR_DUPLICATE_KEY = 7057, /* a write would give a unique index a key it holds already */
    LUM_ERR_LOGIN_REFUSED = 7078, /* user name or password not accepted */
    LUM_ERR_SQL = 7200,           /* SQL error; text carries "NativeError = N;" */

    /* Not returned by this engine. */
    LUM_ERR_STATIC_VIEW = 5064,        /* record lock on a table based on a static view */
    LUM_ERR_LAYER_REFUSAL = 5121,      /* the access layer's own refusals (fixed English texts) */
    LUM_ERR_COLUMN_NAMED_FIRST = 5147, /* 5147 to 5149: failures whose text names the column */
    LUM_ERR_COLUMN_NAMED_LAST = 5149,  /*   as column "name" */
    LUM_ERR_RECORD_CHANGED = 5186,     /* optimistic lock: another user changed the record */
    LUM_ERR_STATEMENT_LOST = 7209      /* execution failure that leaves the statement unusable */
};

/* ---- Errors ---------------------------------------------------------- */
UNSIGNED32 LumGetLastError(UNSIGNED32* pulErrCode, char* pucBuf, UNSIGNED16* pusBufLen);
UNSIGNED32 LumShowError(const char* pucTitle);
UNSIGNED32 LumSetLastError(UNSIGNED32 ulErrCode, const char* pucText);
UNSIGNED32 LumGetVersion(UNSIGNED32* pulMajor, UNSIGNED32* pulMinor, char* pucLetter, char* pucDesc,
                         UNSIGNED16* pusDescLen);

/* ---- Connections ----------------------------------------------------- */
UNSIGNED32 LumConnect(const char* pucPath, LUMHANDLE* phConnect);
UNSIGNED32 LumConnect60(const char* pucPath, UNSIGNED16 usServerTypes, const char* pucUserName, const char* pucPassword,
                        UNSIGNED32 ulOptions, LUMHANDLE* phConnect);
UNSIGNED32 LumDisconnect(LUMHANDLE hConnect);
UNSIGNED32 LumGetServerName(LUMHANDLE hConnect, char* pucName, UNSIGNED16* pusLen);
UNSIGNED32 LumGetConnectionType(LUMHANDLE hConnect, UNSIGNED16* pusType); /* 1 local */
UNSIGNED32 LumIsConnectionAlive(LUMHANDLE hConnect, UNSIGNED16* pbAlive);
/* Date as "CCYYMMDD", milliseconds since midnight, time as "HH:MM:SS". */
UNSIGNED32 LumGetServerTime(LUMHANDLE hConnect, char* pucDate, UNSIGNED16* pusDateLen, SIGNED32* plTime, char* pucTime,
                            UNSIGNED16* pusTimeLen);
UNSIGNED32 LumGetHandleType(LUMHANDLE hObj, UNSIGNED16* pusType);
UNSIGNED32 LumCloseCachedTables(LUMHANDLE hConnect);
UNSIGNED32 LumCacheOpenTables(UNSIGNED16 usOpen);
UNSIGNED32 LumCacheOpenCursors(UNSIGNED16 usOpen);
UNSIGNED32 LumGetNumActiveLinks(LUMHANDLE hConnect, UNSIGNED16* pusNumLinks);
UNSIGNED32 LumGetActiveLinkInfo(LUMHANDLE hConnect, UNSIGNED16 usLinkNum, char* pucLinkInfo, UNSIGNED16* pusLen);
UNSIGNED32 LumSetSQLTimeout(LUMHANDLE hObj, UNSIGNED32 ulTimeout);

/* ---- Transactions ---------------------------------------------------- */
UNSIGNED32 LumBeginTransaction(LUMHANDLE hConnect);
UNSIGNED32 LumCommitTransaction(LUMHANDLE hConnect);
UNSIGNED32 LumRollbackTransaction(LUMHANDLE hConnect);
UNSIGNED32 LumRollbackTransaction80(LUMHANDLE hConnect, const char* pucSavepoint, UNSIGNED32 ulOptions);
UNSIGNED32 LumCreateSavepoint(LUMHANDLE hConnect, const char* pucSavepoint, UNSIGNED32 ulOptions);
UNSIGNED32 LumInTransaction(LUMHANDLE hConnect, UNSIGNED16* pbInTrans);
UNSIGNED32 LumGetTransactionCount(LUMHANDLE hConnect, UNSIGNED32* pulCount);

/* ---- Data dictionary ------------------------------------------------- */
/* Property numbers; a property never set answers LUM_ERR_PROPERTY_NOT_SET. */
enum LumDictionaryProperty {
    LUM_DD_TABLE_DEFAULT_INDEX = 213,   /* table: name of its default index */
    LUM_DD_FIELD_DEFAULT = 802,         /* field: default value of a new record, as text */
    LUM_DD_USER_GROUP_MEMBERSHIP = 1102 /* user: its groups, ";"-joined */
};
UNSIGNED32 LumDDGetTableProperty(LUMHANDLE hConnect, const char* pucTableName, UNSIGNED16 usPropertyID,
                                 void* pvProperty, UNSIGNED16* pusPropertyLen);
UNSIGNED32 LumDDGetFieldProperty(LUMHANDLE hConnect, const char* pucTableName, const char* pucFieldName,
                                 UNSIGNED16 usPropertyID, void* pvProperty, UNSIGNED16* pusPropertyLen);
UNSIGNED32 LumDDGetUserProperty(LUMHANDLE hConnect, const char* pucUserName, UNSIGNED16 usPropertyID, void* pvProperty,
                                UNSIGNED16* pusPropertyLen);
/* Object type 10: tables; 11: users. */
UNSIGNED32 LumDDFindFirstObject(LUMHANDLE hConnect, UNSIGNED16 usObjectType, const char* pucParentName,
                                char* pucObjectName, UNSIGNED16* pusNameLen, LUMHANDLE* phFind);
UNSIGNED32 LumDDFindNextObject(LUMHANDLE hConnect, LUMHANDLE hFind, char* pucObjectName, UNSIGNED16* pusNameLen);
UNSIGNED32 LumDDFindClose(LUMHANDLE hConnect, LUMHANDLE hFind);
/* Free tables matching a file mask ("folder\*.ldt"); on a dictionary the
 * mask is ignored and the dictionary's tables are listed. */
UNSIGNED32 LumFindFirstTable(LUMHANDLE hConnect, const char* pucFileMask, char* pucFirstFile, UNSIGNED16* pusFileLen,
                             LUMHANDLE* phFind);
UNSIGNED32 LumFindNextTable(LUMHANDLE hConnect, LUMHANDLE hFind, char* pucFileName, UNSIGNED16* pusFileLen);
UNSIGNED32 LumFindFirstTable62(LUMHANDLE hConnect, const char* pucFileMask, char* pucFirstDD, UNSIGNED16* pusDDLen,
                               char* pucFirstFile, UNSIGNED16* pusFileLen, LUMHANDLE* phFind);
UNSIGNED32 LumFindNextTable62(LUMHANDLE hConnect, LUMHANDLE hFind, char* pucDDName, UNSIGNED16* pusDDLen,
                              char* pucFileName, UNSIGNED16* pusFileLen);
UNSIGNED32 LumFindClose(LUMHANDLE hConnect, LUMHANDLE hFind);
/* Renames a table of a data dictionary: its file (beside the old one, same
 * extension) and its entry with its properties. pucNewName is a plain name;
 * an extension given with it is dropped. A free-table connection answers
 * LUM_ERR_NOT_SUPPORTED; a table open on the connection, or open
 * exclusively or written elsewhere, LUM_ERR_LOCKED; a name taken already
 * LUM_ERR_FILE_EXISTS. */
UNSIGNED32 LumRenameTable(LUMHANDLE hConnect, const char* pucTableName, const char* pucNewName);

/* ---- Tables ---------------------------------------------------------- */
/* ulOptions: 1 exclusive, 2 read-only; other bits accepted. */
UNSIGNED32 LumOpenTable90(LUMHANDLE hConnect, const char* pucName, const char* pucAlias, UNSIGNED16 usTableType,
                          UNSIGNED16 usCharType, UNSIGNED16 usLockType, UNSIGNED16 usCheckRights, UNSIGNED32 ulOptions,
                          const char* pucCollation, LUMHANDLE* phTable);
UNSIGNED32 LumCloseTable(LUMHANDLE hTable);
UNSIGNED32 LumGetTableType(LUMHANDLE hTable, UNSIGNED16* pusType);
UNSIGNED32 LumGetTableOpenOptions(LUMHANDLE hTable, UNSIGNED32* pulOptions);
UNSIGNED32 LumGetTableCharType(LUMHANDLE hTable, UNSIGNED16* pusCharType);
UNSIGNED32 LumGetTableCollation(LUMHANDLE hTable, char* pucCollation, UNSIGNED16* pusLen);
UNSIGNED32 LumCacheRecords(LUMHANDLE hTable, UNSIGNED16 usNumRecords);
UNSIGNED32 LumIsTableEncrypted(LUMHANDLE hTable, UNSIGNED16* pbEncrypted);
UNSIGNED32 LumIsEncryptionEnabled(LUMHANDLE hTable, UNSIGNED16* pbEnabled);
UNSIGNED32 LumEnableEncryption(LUMHANDLE hTable, const char* pucPassword);

/* ---- Navigation (table, index or SQL cursor handle) ------------------ */
UNSIGNED32 LumGotoTop(LUMHANDLE hObj);
UNSIGNED32 LumGotoBottom(LUMHANDLE hObj);
UNSIGNED32 LumGotoBOF(LUMHANDLE hObj);
UNSIGNED32 LumGotoEOF(LUMHANDLE hObj);
UNSIGNED32 LumSkip(LUMHANDLE hObj, SIGNED32 lRecs);
UNSIGNED32 LumAtBOF(LUMHANDLE hTable, UNSIGNED16* pbBof);
UNSIGNED32 LumAtEOF(LUMHANDLE hTable, UNSIGNED16* pbEof);
UNSIGNED32 LumGotoRecord(LUMHANDLE hTable, UNSIGNED32 ulRec);
UNSIGNED32 LumGetRecordNum(LUMHANDLE hTable, UNSIGNED16 usFilterOption, UNSIGNED32* pulRec);
UNSIGNED32 LumGetKeyNum(LUMHANDLE hIndex, UNSIGNED16 usFilterOption, UNSIGNED32* pulKey);
UNSIGNED32 LumGetRelKeyPos(LUMHANDLE hIndex, double* pdPos);
UNSIGNED32 LumSetRelKeyPos(LUMHANDLE hIndex, double dPos);
UNSIGNED32 LumGetRecordCount(LUMHANDLE hObj, UNSIGNED16 usFilterOption, UNSIGNED32* pulCount);
UNSIGNED32 LumIsRecordVisible(LUMHANDLE hObj, UNSIGNED16* pbVisible);
UNSIGNED32 LumRefreshRecord(LUMHANDLE hTable);
UNSIGNED32 LumGetBookmarkLength(LUMHANDLE hObj, UNSIGNED32* pulLength);
UNSIGNED32 LumGetBookmark60(LUMHANDLE hObj, UNSIGNED8* pucBookmark, UNSIGNED32* pulLength);
UNSIGNED32 LumGotoBookmark(LUMHANDLE hTable, UNSIGNED32 ulBookmark);
/* *plResult: negative, 0 or positive as b1 lies before, at or after b2. */
UNSIGNED32 LumCompareBookmarks(const UNSIGNED8* pucBookmark1, const UNSIGNED8* pucBookmark2, SIGNED32* plResult);

/* ---- Records and fields ---------------------------------------------- */
UNSIGNED32 LumGetRecordLength(LUMHANDLE hTable, UNSIGNED32* pulLength);
UNSIGNED32 LumGetRecord(LUMHANDLE hTable, UNSIGNED8* pucRec, UNSIGNED32* pulLen);
UNSIGNED32 LumGetNullRecord(LUMHANDLE hTable, UNSIGNED8* pucRec, UNSIGNED32* pulLen);
UNSIGNED32 LumGetNumFields(LUMHANDLE hTable, UNSIGNED16* pusCount);
UNSIGNED32 LumGetFieldName(LUMHANDLE hTable, UNSIGNED16 usFld, char* pucName, UNSIGNED16* pusLen);
UNSIGNED32 LumGetFieldType(LUMHANDLE hTable, LUMFIELD pucFldName, UNSIGNED16* pusType);
UNSIGNED32 LumGetFieldLength(LUMHANDLE hTable, LUMFIELD pucFldName, UNSIGNED32* pulLength);
UNSIGNED32 LumGetFieldDecimals(LUMHANDLE hTable, LUMFIELD pucFldName, UNSIGNED16* pusDecimals);
UNSIGNED32 LumGetFieldOffset(LUMHANDLE hTable, LUMFIELD pucFldName, UNSIGNED32* pulOffset);
UNSIGNED32 LumIsNullable(LUMHANDLE hTable, LUMFIELD pucFldName, UNSIGNED16* pbNullable);
UNSIGNED32 LumGetColumnPermissions(LUMHANDLE hTable, LUMFIELD pucFldName, UNSIGNED16* pusPermissions);
/* Value as text; usOption ignored. On an OEM table converted to ANSI.
 * Dates as CCYYMMDD, timestamps "CCYYMMDD HH:MM:SS.fff", logicals T/F. */
UNSIGNED32 LumGetField(LUMHANDLE hTable, LUMFIELD pucFldName, UNSIGNED8* pucBuf, UNSIGNED32* pulLen,
                       UNSIGNED16 usOption);
UNSIGNED32 LumGetDataLength(LUMHANDLE hTable, LUMFIELD pucFldName, UNSIGNED32* pulLength);
UNSIGNED32 LumGetBinaryLength(LUMHANDLE hTable, LUMFIELD pucFldName, UNSIGNED32* pulLength);
UNSIGNED32 LumGetBinary(LUMHANDLE hTable, LUMFIELD pucFldName, UNSIGNED32 ulOffset, UNSIGNED8* pucBuf,
                        UNSIGNED32* pulLen);
UNSIGNED32 LumIsNull(LUMHANDLE hTable, LUMFIELD pucFldName, UNSIGNED16* pbNull);
UNSIGNED32 LumIsEmpty(LUMHANDLE hTable, LUMFIELD pucFldName, UNSIGNED16* pbEmpty);
/* usOption LUM_VFP_NULL_FLAG or LUM_VFP_FULL_FLAG. */
UNSIGNED32 LumAccessVfpSystemField(LUMHANDLE hTable, LUMFIELD pucFldName, const UNSIGNED8* pucRecord,
                                   UNSIGNED16 usOption, UNSIGNED16* pusFlag);
UNSIGNED32 LumConvertStringToJulian(const char* pucDate, UNSIGNED16 usLen, double* pdJulian);
UNSIGNED32 LumConvertDateToJulian(LUMHANDLE hConnect, const char* pucDate, UNSIGNED16 usLen, double* pdJulian);
UNSIGNED32 LumConvertJulianToString(double dJulian, char* pucDate, UNSIGNED16* pusLen);
UNSIGNED32 LumIsRecordDeleted(LUMHANDLE hTable, UNSIGNED16* pbDeleted);
UNSIGNED32 LumGetDeleted(UNSIGNED16* pbShowDeleted);

/* Values staged on an index (for LumBuildRawKey) or bound to a statement
 * parameter. On a table handle they belong to record editing. */
UNSIGNED32 LumSetField(LUMHANDLE hObj, LUMFIELD pucFldName, const UNSIGNED8* pucBuf, UNSIGNED32 ulLen);
UNSIGNED32 LumSetFieldRaw(LUMHANDLE hObj, LUMFIELD pucFldName, const UNSIGNED8* pucBuf, UNSIGNED32 ulLen);
UNSIGNED32 LumSetEmpty(LUMHANDLE hObj, LUMFIELD pucFldName);
UNSIGNED32 LumSetNull(LUMHANDLE hObj, LUMFIELD pucFldName);
UNSIGNED32 LumSetString(LUMHANDLE hObj, LUMFIELD pucFldName, const char* pucBuf, UNSIGNED32 ulLen);
UNSIGNED32 LumSetDouble(LUMHANDLE hObj, LUMFIELD pucFldName, double dValue);
UNSIGNED32 LumSetLogical(LUMHANDLE hObj, LUMFIELD pucFldName, UNSIGNED16 bValue);
UNSIGNED32 LumSetJulian(LUMHANDLE hObj, LUMFIELD pucFldName, SIGNED32 lDate);
UNSIGNED32 LumSetMilliseconds(LUMHANDLE hObj, LUMFIELD pucFldName, SIGNED32 lTime);
UNSIGNED32 LumSetTimeStampRaw(LUMHANDLE hObj, LUMFIELD pucFldName, const UNSIGNED8* pucBuf, UNSIGNED32 ulLen);
/* LumSetBinary on a table puts a memo or binary value of ulTotalLength bytes
 * (at most 256 MiB) together from pieces written at ulOffset, in any order,
 * bytes not written being zero; a piece that ends past the total answers
 * LUM_ERR_INVALID_ARGUMENT. On an index or a statement only offset 0. */
UNSIGNED32 LumSetBinary(LUMHANDLE hObj, LUMFIELD pucFldName, UNSIGNED16 usBinaryType, UNSIGNED32 ulTotalLength,
                        UNSIGNED32 ulOffset, const UNSIGNED8* pucBuf, UNSIGNED32 ulLen);

/* Record editing and locks. */
UNSIGNED32 LumAppendRecord(LUMHANDLE hTable);
UNSIGNED32 LumWriteRecord(LUMHANDLE hTable);
UNSIGNED32 LumDeleteRecord(LUMHANDLE hTable);
UNSIGNED32 LumCancelUpdate(LUMHANDLE hTable);
UNSIGNED32 LumLockRecord(LUMHANDLE hTable, UNSIGNED32 ulRec);

/* Filters and expressions; LumClearFilter/LumClearLOF answer
 * LUM_ERR_NO_FILTER when none is set. LumSeek: usDataType LUM_RAWKEY or
 * LUM_STRINGKEY, usSeekType LUM_SOFTSEEK or LUM_HARDSEEK. */
UNSIGNED32 LumSetFilter(LUMHANDLE hTable, const char* pucFilter);
UNSIGNED32 LumClearFilter(LUMHANDLE hTable);
UNSIGNED32 LumSetLOF(LUMHANDLE hTable, const char* pucFilter, UNSIGNED16 usOptions);
UNSIGNED32 LumClearLOF(LUMHANDLE hTable);
UNSIGNED32 LumEvalLogicalExpr(LUMHANDLE hTable, const char* pucExpr, UNSIGNED16* pbResult);
UNSIGNED32 LumExpressionLongToShort(LUMHANDLE hTable, const char* pucLong, char* pucShort, UNSIGNED16* pusLen);
UNSIGNED32 LumExpressionShortToLong(LUMHANDLE hTable, const char* pucShort, char* pucLong, UNSIGNED16* pusLen);
UNSIGNED32 LumSetExact22(LUMHANDLE hObj, UNSIGNED16 bExact);
UNSIGNED32 LumSeek(LUMHANDLE hIndex, const UNSIGNED8* pucKey, UNSIGNED16 usKeyLen, UNSIGNED16 usDataType,
                   UNSIGNED16 usSeekType, UNSIGNED16* pbFound);

/* ---- Indexes, keys and scopes ----------------------------------------- */
UNSIGNED32 LumGetNumIndexes(LUMHANDLE hTable, UNSIGNED16* pusNum);
UNSIGNED32 LumGetAllIndexes(LUMHANDLE hTable, LUMHANDLE* ahIndex, UNSIGNED16* pusArrayLen);
/* A null or empty name gives 0 (natural order). */
UNSIGNED32 LumGetIndexHandle(LUMHANDLE hTable, const char* pucIndexName, LUMHANDLE* phIndex);
UNSIGNED32 LumGetIndexName(LUMHANDLE hIndex, char* pucName, UNSIGNED16* pusLen);
UNSIGNED32 LumGetNumSegments(LUMHANDLE hIndex, UNSIGNED16* pusSegments);
/* Segments count from 0; past the last: LUM_ERR_INDEX_NOT_FOUND. */
UNSIGNED32 LumGetSegmentFieldname(LUMHANDLE hIndex, UNSIGNED16 usSegment, char* pucName, UNSIGNED16* pusLen);
UNSIGNED32 LumIsIndexDescending(LUMHANDLE hIndex, UNSIGNED16* pbDescending);
UNSIGNED32 LumIsIndexUnique(LUMHANDLE hIndex, UNSIGNED16* pbUnique);
UNSIGNED32 LumIsIndexCandidate(LUMHANDLE hIndex, UNSIGNED16* pbCandidate);
UNSIGNED32 LumIsIndexPrimaryKey(LUMHANDLE hIndex, UNSIGNED16* pbPrimary);
UNSIGNED32 LumGetIndexFlags(LUMHANDLE hIndex, UNSIGNED32* pulFlags);
UNSIGNED32 LumGetIndexCondition(LUMHANDLE hIndex, char* pucCondition, UNSIGNED16* pusLen);
UNSIGNED32 LumGetIndexPageSize(LUMHANDLE hIndex, UNSIGNED32* pulPageSize);
UNSIGNED32 LumGetKeyLength(LUMHANDLE hIndex, UNSIGNED16* pusKeyLength);
/* The file the index lives in: the table's own file or a separate index
 * file. usOption 1: full path, 2: file name only. */
UNSIGNED32 LumGetIndexFilename(LUMHANDLE hIndex, UNSIGNED16 usOption, char* pucName, UNSIGNED16* pusLen);
/* Opens the indexes of an index file on the table and returns their handles
 * (*pusArrayLen: room on entry, count on return; too little room gives
 * LUM_ERR_BUFFER_TOO_SMALL and the count, and opens nothing). A name with the
 * table file's own stem (ZTTRN.* for ZTTRN.LDT) gives the table's own
 * indexes. Any other names a separate index file: LUM_ERR_FILE_NOT_FOUND,
 * LUM_ERR_NOT_AN_INDEX_FILE, LUM_ERR_DAMAGED, LUM_ERR_INDEX_FILE_OPEN (open
 * already, or one of its index names is taken), LUM_ERR_FIELD_NOT_FOUND (an
 * index names a field the table lacks). */
UNSIGNED32 LumOpenIndex(LUMHANDLE hTable, const char* pucName, LUMHANDLE* ahIndex, UNSIGNED16* pusArrayLen);
/* An index of a separate index file: closes that file with all its indexes
 * (their handles become invalid). One of the table's own: closes that order. */
UNSIGNED32 LumCloseIndex(LUMHANDLE hIndex);
UNSIGNED32 LumInitRawKey(LUMHANDLE hIndex);
UNSIGNED32 LumBuildRawKey(LUMHANDLE hIndex, UNSIGNED8* pucKey, UNSIGNED16* pusKeyLen);
UNSIGNED32 LumSetScope(LUMHANDLE hIndex, UNSIGNED16 usScopeOption, const UNSIGNED8* pucScope, UNSIGNED16 usScopeLen,
                       UNSIGNED16 usDataType);
UNSIGNED32 LumGetScope(LUMHANDLE hIndex, UNSIGNED16 usScopeOption, UNSIGNED8* pucScope, UNSIGNED16* pusBufLen);
UNSIGNED32 LumClearScope(LUMHANDLE hIndex, UNSIGNED16 usScopeOption);
UNSIGNED32 LumClearAllScopes(LUMHANDLE hTable);

/* ---- SQL -------------------------------------------------------------- */
UNSIGNED32 LumCreateSQLStatement(LUMHANDLE hConnect, LUMHANDLE* phStatement);
UNSIGNED32 LumCloseSQLStatement(LUMHANDLE hStatement);
UNSIGNED32 LumStmtSetTableLockType(LUMHANDLE hStatement, UNSIGNED16 usLockType);
UNSIGNED32 LumStmtSetTableCharType(LUMHANDLE hStatement, UNSIGNED16 usCharType);
UNSIGNED32 LumStmtSetTableCollation(LUMHANDLE hStatement, const char* pucCollation);
UNSIGNED32 LumStmtSetTableRights(LUMHANDLE hStatement, UNSIGNED16 usCheckRights);
UNSIGNED32 LumStmtSetTableReadOnly(LUMHANDLE hStatement, UNSIGNED16 usReadOnly);
UNSIGNED32 LumStmtSetTableType(LUMHANDLE hStatement, UNSIGNED16 usTableType);
UNSIGNED32 LumStmtConstrainUpdates(LUMHANDLE hStatement, UNSIGNED16 usConstrain);
UNSIGNED32 LumStmtReadAllColumns(LUMHANDLE hStatement, UNSIGNED16 usReadColumns);
UNSIGNED32 LumPrepareSQL(LUMHANDLE hStatement, const char* pucSQL);
/* *phCursor is 0 when the statement gives no result set. */
UNSIGNED32 LumExecuteSQL(LUMHANDLE hStatement, LUMHANDLE* phCursor);
UNSIGNED32 LumExecuteSQLDirect(LUMHANDLE hStatement, const char* pucSQL, LUMHANDLE* phCursor);
/* The statement's parameter names, ";"-joined ("" for "?" markers);
 * pucParams may be null to only check the text. Needs no connection. */
UNSIGNED32 LumGetSQLStmtParams(const char* pucSQL, char* pucParams, UNSIGNED16* pusLen);
/* *pbLive: 1 the cursor is updatable (a live cursor), 0 static. */
UNSIGNED32 LumSqlPeekStatement(LUMHANDLE hCursor, UNSIGNED16* pbLive);
/* The value the last insert through the handle gave the auto-increment
 * column: for a statement its last INSERT (the last record it added), for a
 * table or index handle the last record appended through that table handle.
 * 0 when the handle has inserted nothing, the table has no auto-increment
 * column, or the handle is an SQL cursor; a handle of another kind, or a
 * closed one, is LUM_ERR_INVALID_HANDLE. */
UNSIGNED32 LumGetLastAutoinc(LUMHANDLE hObj, UNSIGNED32* pulAutoIncVal);

/* ---- Record editing and locks (continued) ------------------------------ */
/* ulRec 0: the current record; LumUnlockRecord with 0 releases every record
 * lock the handle took. */
UNSIGNED32 LumUnlockRecord(LUMHANDLE hTable, UNSIGNED32 ulRec);
UNSIGNED32 LumIsRecordLocked(LUMHANDLE hTable, UNSIGNED32 ulRec, UNSIGNED16* pbLocked);
UNSIGNED32 LumLockTable(LUMHANDLE hTable);
UNSIGNED32 LumUnlockTable(LUMHANDLE hTable);
UNSIGNED32 LumIsTableLocked(LUMHANDLE hTable, UNSIGNED16* pbLocked);
UNSIGNED32 LumRecallRecord(LUMHANDLE hTable);
/* Process-wide: whether navigation shows NTX, CDX and VFP records marked
 * deleted (default yes); LumGetDeleted reads it. */
UNSIGNED32 LumShowDeleted(UNSIGNED16 bShowDeleted);

/* ---- The function table ------------------------------------------------ */
/* clang-format off */
#define LUM_FUNCTIONS(X) \
  X(LumGetLastError) X(LumShowError) X(LumSetLastError) X(LumGetVersion) X(LumConnect) X(LumConnect60) \
  X(LumDisconnect) X(LumGetServerName) X(LumGetConnectionType) X(LumIsConnectionAlive) X(LumGetServerTime) \
  X(LumGetHandleType) X(LumCloseCachedTables) X(LumCacheOpenTables) X(LumCacheOpenCursors) \
  X(LumGetNumActiveLinks) X(LumGetActiveLinkInfo) X(LumSetSQLTimeout) X(LumBeginTransaction) \
  X(LumCommitTransaction) X(LumRollbackTransaction) X(LumRollbackTransaction80) X(LumCreateSavepoint) \
  X(LumInTransaction) X(LumGetTransactionCount) X(LumDDGetTableProperty) X(LumDDGetFieldProperty) X(LumDDGetUserProperty) \
  X(LumDDFindFirstObject) X(LumDDFindNextObject) X(LumDDFindClose) X(LumFindFirstTable) X(LumFindNextTable) \
  X(LumFindFirstTable62) X(LumFindNextTable62) X(LumFindClose) X(LumOpenTable90) X(LumCloseTable) \
  X(LumGetTableType) X(LumGetTableOpenOptions) X(LumGetTableCharType) X(LumGetTableCollation) \
  X(LumCacheRecords) X(LumIsTableEncrypted) X(LumIsEncryptionEnabled) X(LumEnableEncryption) X(LumGotoTop) \
  X(LumGotoBottom) X(LumGotoBOF) X(LumGotoEOF) X(LumSkip) X(LumAtBOF) X(LumAtEOF) X(LumGotoRecord) \
  X(LumGetRecordNum) X(LumGetKeyNum) X(LumGetRelKeyPos) X(LumSetRelKeyPos) X(LumGetRecordCount) \
  X(LumIsRecordVisible) X(LumRefreshRecord) X(LumGetBookmarkLength) X(LumGetBookmark60) X(LumGotoBookmark) \
  X(LumCompareBookmarks) X(LumGetRecordLength) X(LumGetRecord) X(LumGetNullRecord) X(LumGetNumFields) \
  X(LumGetFieldName) X(LumGetFieldType) X(LumGetFieldLength) X(LumGetFieldDecimals) X(LumGetFieldOffset) \
  X(LumIsNullable) X(LumGetColumnPermissions) X(LumGetField) X(LumGetDataLength) X(LumGetBinaryLength) \
  X(LumGetBinary) X(LumIsNull) X(LumIsEmpty) X(LumAccessVfpSystemField) X(LumConvertStringToJulian) \
  X(LumConvertDateToJulian) X(LumConvertJulianToString) X(LumIsRecordDeleted) X(LumGetDeleted) X(LumSetField) \
  X(LumSetFieldRaw) X(LumSetEmpty) X(LumSetNull) X(LumSetString) X(LumSetDouble) X(LumSetLogical) \
  X(LumSetJulian) X(LumSetMilliseconds) X(LumSetTimeStampRaw) X(LumSetBinary) X(LumAppendRecord) \
  X(LumWriteRecord) X(LumDeleteRecord) X(LumCancelUpdate) X(LumLockRecord) X(LumSetFilter) X(LumClearFilter) \
  X(LumSetLOF) X(LumClearLOF) X(LumEvalLogicalExpr) X(LumExpressionLongToShort) X(LumExpressionShortToLong) \
  X(LumSetExact22) X(LumSeek) X(LumGetNumIndexes) X(LumGetAllIndexes) X(LumGetIndexHandle) X(LumGetIndexName) \
  X(LumGetNumSegments) X(LumGetSegmentFieldname) X(LumIsIndexDescending) X(LumIsIndexUnique) \
  X(LumIsIndexCandidate) X(LumIsIndexPrimaryKey) X(LumGetIndexFlags) X(LumGetIndexCondition) \
  X(LumGetIndexPageSize) X(LumGetKeyLength) X(LumGetIndexFilename) X(LumOpenIndex) X(LumCloseIndex) \
  X(LumInitRawKey) X(LumBuildRawKey) X(LumSetScope) X(LumGetScope) X(LumClearScope) X(LumClearAllScopes) \
  X(LumCreateSQLStatement) X(LumCloseSQLStatement) X(LumStmtSetTableLockType) X(LumStmtSetTableCharType) \
  X(LumStmtSetTableCollation) X(LumStmtSetTableRights) X(LumStmtSetTableReadOnly) X(LumStmtSetTableType) \
  X(LumStmtConstrainUpdates) X(LumStmtReadAllColumns) X(LumPrepareSQL) X(LumExecuteSQL) X(LumExecuteSQLDirect) \
  X(LumGetSQLStmtParams) X(LumSqlPeekStatement) X(LumUnlockRecord) X(LumIsRecordLocked) X(LumLockTable) \
  X(LumUnlockTable) X(LumIsTableLocked) X(LumRecallRecord) X(LumShowDeleted) X(LumGetLastAutoinc) \
  X(LumRenameTable)
/* clang-format on */

/* One pointer per operation, named as the operation. The access layer calls
 * the engine only through such a table, so a test can wrap entries (to
 * record calls or to make one fail) and another engine can be plugged in. */
#define LUM_DECLARE_POINTER(name) decltype(&name) name;
#ifdef __cplusplus
struct LumFunctions {
    LUM_FUNCTIONS(LUM_DECLARE_POINTER)
};
#endif
#undef LUM_DECLARE_POINTER

/* The table bound to this library's operations. */
#ifdef __cplusplus
const struct LumFunctions* LumGetFunctions(void);
#endif

#ifdef __cplusplus
}
#endif

#endif /* LCE32_H */
