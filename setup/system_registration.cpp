// What makes the product known to Windows: the product key, the uninstall
// entry, the program group's shortcuts, the file types, the desktop
// utilities' shell extension, the start-up entry, the external
// authentication settings and the optional "Update.reg".

#include "core/strings.h"
#include "platform/files/path.h"
#include "platform/profile/profile_file.h"
#include "platform/registry/registry_error.h"
#include "setup/install_ops.h"
#include "setup/pb_shell_link.h"
#include "setup/tsetup_form.h"
#include "setup/update_reg.h"

namespace nimbra::setup {

namespace {

using platform::RootKey;

constexpr std::string_view kProductKey = "\\Software\\NimbraPost\\Current Version";
constexpr std::string_view kMenuHandler = "{8e3e0f0a-0fcc-11ce-bcb0-b3fd0e25381a}";

}  // namespace

std::string TSetupForm::ShortProgramLocation() {
  const std::string program = form_->At("SoftwareLocation").text;
  const auto shortPath = machine_.ShortPath(program);
  return platform::WithTrailingBackslash(shortPath ? *shortPath : program);
}

void TSetupForm::saveinstalldir() {
  InstallOps& ops = Install();
  const std::string program = form_->At("SoftwareLocation").text;
  try {
    ops.WriteRegString(RootKey::LocalMachine, kProductKey, "InstallDir", program);
    ops.WriteRegString(RootKey::LocalMachine, kProductKey, "exePath", program);
    ops.WriteRegString(RootKey::LocalMachine, kProductKey, "DataDir",
                       form_->At("DataLocation").text);
  } catch (const platform::ERegistryException&) {
    // The product key is written again by SaveSettings.
  }
}

void TSetupForm::AddStartMenu(const std::string& arguments, const std::string& name,
                              const std::string& target) {
  InstallOps& ops = Install();
  const std::string group =
      platform::JoinWindowsPath(settings_.ProgramsFolder, form_->At("ProgGroupName").text);
  if (!machine_.DirectoryExists(group) && !ops.CreateFolderTree(group)) {
    throw platform::FileError("Cannot create the program group folder " + group);
  }
  const std::string program = form_->At("SoftwareLocation").text;
  TPBShellLink link(machine_, ops);
  std::string file = platform::JoinWindowsPath(group, name);
  if (!EndsText(file, ".lnk")) file += ".lnk";
  link.FileName = file;
  link.Description = name;
  link.Target = platform::JoinWindowsPath(program, target);
  link.WorkingDir = program;
  link.Arguments = arguments;
  link.Save();
}

void TSetupForm::SaveSettings() {
  InstallOps& ops = Install();
  ui::Form& f = *form_;
  const int type = settings_.InstallType;
  const bool client = type == 5 || type == 8 || settings_.JoinExistingDatabase;
  AddStartMenu("", "Manager Suite", "NimbraMGR.exe");
  if (client) {
    AddStartMenu("DIS", "Uninstall (Keep Data)", "NimbraMGR.exe");
    AddStartMenu("DIAG", "Diagnostic", "NimbraMGR.exe");
  } else {
    AddStartMenu("UNI", "Uninstall (Remove Data)", "NimbraMGR.exe");
    AddStartMenu("DIS", "Uninstall (Keep Data)", "NimbraMGR.exe");
  }
  AddStartMenu("", "Help", settings_.HelpFile);
  AddStartMenu("", "Send Encrypted Message", "Peruse.exe");
  if (type == 0 || type == 1 || type == 2) {
    AddStartMenu("DIST", "Send Public Keys to Friends", "Peruse.exe");
  }
  if (type == 1 || type == 2) AddStartMenu("", "Desktop Utilities", "NimbraDesktop.exe");
  for (std::size_t i = 0; i < settings_.StartMenuNames.size(); ++i) {
    const std::string target =
        i < settings_.StartMenuTargets.size() ? settings_.StartMenuTargets[i] : std::string();
    AddStartMenu("", settings_.StartMenuNames[i], target);
  }

  const std::string program = f.At("SoftwareLocation").text;
  const std::string shortProgram = ShortProgramLocation();
  const std::string viewer = shortProgram + "Peruse.exe";
  auto text = [&](RootKey root, std::string_view key, std::string_view name,
                  std::string_view value) { ops.WriteRegString(root, key, name, value); };
  try {
    const std::string uninstall =
        "\\Software\\Microsoft\\Windows\\CurrentVersion\\UnInstall\\NimbraPost";
    text(RootKey::LocalMachine, uninstall, "DisplayName", f.At("ProgGroupName").text);
    text(RootKey::LocalMachine, uninstall, "UninstallString",
         shortProgram + "NimbraMGR.EXE" + (client ? " DIS" : " UNI"));
    try {
      ops.DeleteRegKey(RootKey::CurrentUser, "\\Software\\NimbraPost");
    } catch (const platform::ERegistryException&) {
      // A per-user key that cannot go stays.
    }
    text(RootKey::LocalMachine, kProductKey, "Version", settings_.Release);
    text(RootKey::LocalMachine, kProductKey, "Source", settings_.Source);
    if (settings_.OldVersionFound) {
      text(RootKey::LocalMachine, kProductKey, "OldVersion", settings_.OldVersionText);
    }
    text(RootKey::LocalMachine, kProductKey, "InstallDir", program);
    text(RootKey::LocalMachine, kProductKey, "exePath", shortProgram);
    text(RootKey::LocalMachine, kProductKey, "DataDir", f.At("DataLocation").text);
    text(RootKey::LocalMachine, kProductKey, "GroupName", f.At("ProgGroupName").text);
    text(RootKey::LocalMachine, kProductKey, "Sequence", settings_.Sequence);

    const RootKey cr = RootKey::ClassesRoot;
    text(cr, "VRXFile\\Shell\\Open\\Command", "", viewer + " %1");
    for (const char* ext : {".VRX", ".NBK"}) {
      text(cr, ext, "", "VRXFile");
      text(cr, ext, "Content Type", "application/NimbraPost");
    }
    text(cr, "VRXAuthOK\\Shell\\Open\\Command", "", viewer + " %1");
    text(cr, "VRXAuthOK\\DefaultIcon", "", viewer + ", 1");
    text(cr, ".ZQ1", "", "VRXAuthOK");
    text(cr, ".ZQ1", "Content Type", "application/NimbraPost");
    text(cr, "VRXAuthFailed\\Shell\\Open\\Command", "", viewer + " %1");
    text(cr, "VRXAuthFailed\\DefaultIcon", "", viewer + ", 2");
    text(cr, ".ZQ0", "", "VRXAUTHFailed");
    text(cr, ".ZQ0", "Content Type", "application/NimbraPost");
  } catch (const platform::ERegistryException&) {
    // Registry failures end the registration silently.
  }
}

void TSetupForm::DesktopUtils() {
  const int type = settings_.InstallType;
  if (type != 1 && type != 2 && type != 5) return;
  InstallOps& ops = Install();
  const std::string desktop = ShortProgramLocation() + "NimbraDesktop.exe";
  const std::string handler(kMenuHandler);
  const std::string clsid = "\\CLSID\\" + handler;
  const std::pair<std::string, std::string> rows[] = {
      {"\\*\\shellex\\ContextMenuHandlers\\NimbraPostDesktopMenu", handler},
      {"\\.nbf", "NimbraPost.Encrypted.File"},
      {"\\NimbraPost.Encrypted.File", "VRX NimbraPost encrypted archive"},
      {"\\NimbraPost.Encrypted.File\\CLSID", handler},
      {"\\NimbraPost.Encrypted.File\\DefaultIcon", desktop + ",1"},
      {"\\NimbraPost.Encrypted.File\\Shell\\Open\\command", desktop + " \"%1\""},
      {"\\.nbx", "NimbraPost.Signature.File"},
      {"\\NimbraPost.Signature.File\\CLSID", handler},
      {"\\NimbraPost.Signature.File\\DefaultIcon", desktop + ",4"},
      {"\\NimbraPost.Signature.File\\Shell\\Open\\command", desktop + " CKX \"%1\""},
      {clsid, "NimbraPost Desktop context menu handler"},
      {clsid + "\\InProcServer32", "NimbraContextMenu.dll"},
  };
  bool ok = true;
  try {
    for (const auto& [key, value] : rows) ops.WriteRegString(RootKey::ClassesRoot, key, "", value);
    ops.WriteRegString(RootKey::ClassesRoot, clsid + "\\InProcServer32", "ThreadingModel",
                       "Apartment");
    ops.WriteRegString(RootKey::ClassesRoot,
                       "\\Folder\\shellex\\ContextMenuHandlers\\NimbraPostDesktopMenu", "",
                       handler);
    const std::string setupDir = platform::WithTrailingBackslash(context_->SetupDir());
    if (machine_.FileExists(setupDir + "NimbraContextMenu.dll")) {
      ok = ops.CopyInto(setupDir, "NimbraContextMenu.dll", machine_.SystemDirectory());
    }
  } catch (const platform::PlatformError&) {
    ok = false;
  }
  if (!ok) {
    // A warning with an OK button only.
    ui_.Message(context_->MessageCaption(),
                "It was not possible to complete the setup of your desktop utilites. You may "
                "have insufficient access rights to change the Windows System Settings.");
  }
}

void TSetupForm::SetStartupEntry() {
  InstallOps& ops = Install();
  const std::string run = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
  try {
    ops.DeleteRegValue(RootKey::LocalMachine, run, "NimbraPost 3");
    ops.WriteRegString(RootKey::LocalMachine, run, "NimbraPost 3",
                       ShortProgramLocation() + "Nimbra.exe");
  } catch (const platform::ERegistryException&) {
    context_->Message("Setup was not able to set " + settings_.ProductType +
                      " to automatically Run on Start-up" + "\r\n");
  }
}

void TSetupForm::SaveThirdParty() {
  const std::string setupDir = platform::WithTrailingBackslash(context_->SetupDir());
  std::string dll = "ExtAuth.dll";
  bool available = false;
  if (const auto host = machine_.HostPath(setupDir + settings_.ScriptName)) {
    try {
      platform::ProfileFile script(*host);
      dll = script.ReadString("ThirdParty", "Dll", "ExtAuth.dll");
      available = script.ReadBool("ThirdParty", "Available", false);
    } catch (const platform::PlatformError&) {
      // An unreadable script has no third-party settings.
    }
  }
  if (available) {
    try {
      Install().WriteRegInteger(RootKey::LocalMachine, kProductKey, "ThirdPartyAuth", 1);
      Install().WriteRegString(RootKey::LocalMachine, kProductKey, "ThirdPartyAuthDll", dll);
    } catch (const platform::ERegistryException&) {
    }
  }
  if (machine_.FileExists(setupDir + "Update.reg")) ImportRegistryFile(setupDir + "Update.reg");
}

void TSetupForm::ImportRegistryFile(const std::string& path) {
  if (!machine_.FileExists(path)) {
    context_->Message("Exported Registry File (" + path + ") does not exist. Importing Cancelled.");
    return;
  }
  std::string text;
  try {
    text = machine_.ReadFile(path);
  } catch (const platform::FileError&) {
    return;
  }
  try {
    Install().ImportReg(ParseUpdateReg(text), path, [this] {
      context_->Message(
          "A Minor problem Ocurred while Interpreting the RootKey. The RootKey is not one of the "
          "Four Allowed. It will be HKEY_CURRENT_USER Applied.");
    });
  } catch (const platform::ERegistryException&) {
    // A key that cannot be made ends the import; what was written stays.
  }
}

}  // namespace nimbra::setup
