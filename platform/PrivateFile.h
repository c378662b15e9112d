// Files of this user in folders that others may write to.
//
// The temporary sample files live in a folder the user chooses, which may be
// one that every user can write (/tmp, a group folder). Such a file is made
// so that nobody else's file is ever written: the name is created anew with
// O_CREAT | O_EXCL | O_NOFOLLOW and mode 0600, so a link planted under the
// name is never followed and no existing file is reused. An entry under the
// name that belongs to this user (left behind by a run that ended without
// cleaning up) is removed first; an entry of another user is left alone and
// the file is refused.
#pragma once

#include <sys/types.h>

#include <cstdio>
#include <string>

namespace cz {

// What a file made by CreatePrivateFile is: its device and inode.
struct PrivateFileId {
  dev_t device = 0;
  ino_t inode = 0;
  bool valid = false;
};

// Creates hostPath as a new, empty file of this user (mode 0600) and opens it
// for reading and writing ("w+b"); *id (may be null) receives its identity.
// nullptr when it cannot be made, with *reason (may be null) set: "'<name>'
// belongs to another user", "'<name>' is a folder" or the system's text.
FILE* CreatePrivateFile(const std::string& hostPath, PrivateFileId* id, std::string* reason);

// Opens hostPath for reading and writing from its start without cutting it
// ("r+b") when it is still the file *id names: a regular file of this user,
// reached without following a link. Anything else under the name is
// replaced as CreatePrivateFile does (and *id updated).
FILE* ReopenPrivateFile(const std::string& hostPath, PrivateFileId* id, std::string* reason);

// Removes hostPath when it is an entry of this user other than a folder;
// anything of another user stays. A missing entry is no error.
void RemoveOwnFile(const std::string& hostPath);

// True when someone other than this user may make, rename or remove entries
// in the folder hostFolder (a link to it followed): it grants writing to
// its group or to others (sticky or not, as /tmp), or it is another user's.
// False for a folder that cannot be looked at (its use fails on its own).
bool OthersMayWriteIn(const std::string& hostFolder);

// True when hostPath is a folder only this user can use: a real folder (no
// link) of this user with no rights for group and others.
bool IsPrivateFolder(const std::string& hostPath);

// A folder of this user's own inside hostFolder, for files that others must
// not reach: hostFolder/<name>, made with mode 0700 when missing and taken
// when it is a private folder (IsPrivateFolder). Anything else under the
// name (a link, another user's folder, a folder of this user open to
// others) is left alone and a folder "<name>-XXXXXX" is taken instead: the
// first in name order that is a private folder of this user (left by an
// earlier run), else a new one made with mkdtemp. The host path of the
// folder; "" with *reason (may be null) set to the system's text when none
// can be made.
std::string PrivateFolderIn(const std::string& hostFolder, const std::string& name, std::string* reason);

}  // namespace cz
