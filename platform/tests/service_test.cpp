#include "platform/processes/service.h"

#include <gtest/gtest.h>

#include "platform/processes/service_net_command.h"
#include "platform/processes/service_program.h"
#include "testsupport/test_machine.h"

namespace nimbra::platform {
namespace {

using testsupport::TestMachine;

TEST(Services, StopStartAndTheErrorsOfEachState) {
  TestMachine machine;
  machine.PutFile("C:\\PROGRA~1\\NIMBRA~1\\NIMBRASRV.EXE", "MZ");
  ServiceManager manager(machine.Root(), ResolverFor(*machine));
  manager.Put({"Nimbra", "NimbraPost Root Service", ServiceState::Running,
               "C:\\PROGRA~1\\NIMBRA~1\\NIMBRASRV.EXE -service", false});

  std::optional<Service> service = manager.OpenService("NIMBRA");
  ASSERT_TRUE(service.has_value());
  EXPECT_EQ(service->QueryStatus(), ServiceState::Running);
  ServiceState after{};
  EXPECT_TRUE(service->Stop(&after));
  EXPECT_EQ(after, ServiceState::Stopped);
  EXPECT_EQ(ServiceManager(machine.Root()).Find("nimbra")->state, ServiceState::Stopped);
  EXPECT_FALSE(service->Stop());
  EXPECT_EQ(manager.LastError(), kErrorServiceNotActive);

  EXPECT_TRUE(service->Start());
  EXPECT_EQ(service->QueryStatus(), ServiceState::Running);
  EXPECT_FALSE(service->Start());
  EXPECT_EQ(manager.LastError(), kErrorServiceAlreadyRunning);

  EXPECT_FALSE(manager.OpenService("NoSuch").has_value());
  EXPECT_EQ(manager.LastError(), kErrorServiceDoesNotExist);
}

TEST(Services, AServiceThatIgnoresStopStaysPending) {
  TestMachine machine;
  ServiceManager manager(machine.Root());
  manager.Put({"Nimbra", "NimbraPost Root Service", ServiceState::Running, "", true});
  std::optional<Service> service = manager.OpenService("Nimbra");
  ServiceState after{};
  EXPECT_TRUE(service->Stop(&after));
  EXPECT_EQ(after, ServiceState::StopPending);
  EXPECT_EQ(service->QueryStatus(), ServiceState::StopPending);
  EXPECT_FALSE(service->Stop());
  EXPECT_EQ(manager.LastError(), kErrorServiceCannotAcceptCtrl);
}

TEST(Services, CreateAndDelete) {
  TestMachine machine;
  ServiceManager manager(machine.Root(), ResolverFor(*machine));
  std::optional<Service> created =
      manager.CreateService("Nimbra", "NimbraPost Root Service", "C:\\NB\\NimbraSrv.exe");
  ASSERT_TRUE(created.has_value());
  EXPECT_EQ(created->QueryStatus(), ServiceState::Stopped);
  EXPECT_FALSE(manager.CreateService("nimbra", "Other", "x.exe").has_value());
  EXPECT_EQ(manager.LastError(), kErrorServiceExists);
  EXPECT_FALSE(manager.CreateService("Other", "NIMBRAPOST ROOT SERVICE", "x.exe").has_value());
  EXPECT_EQ(manager.LastError(), kErrorDuplicateServiceName);
  EXPECT_EQ(manager.FindByDisplayName("nimbrapost root service")->name, "Nimbra");

  // The service program is missing from the machine: it cannot start.
  EXPECT_FALSE(created->Start());
  EXPECT_EQ(manager.LastError(), 2u);
  machine.PutFile("C:\\NB\\NimbraSrv.exe", "MZ");
  EXPECT_TRUE(created->Start());

  EXPECT_TRUE(created->Delete());
  EXPECT_TRUE(manager.Enumerate().empty());
  EXPECT_FALSE(created->QueryStatus().has_value());
  EXPECT_EQ(manager.LastError(), kErrorServiceDoesNotExist);
  EXPECT_EQ(ServiceStateFromName("Stop-Pending"), ServiceState::StopPending);
  EXPECT_EQ(ServiceStateName(ServiceState::Paused), "paused");
}

TEST(Services, NetStartAndStopActOnTheTable) {
  TestMachine machine;
  machine.PutFile("C:\\NB\\NimbraSrv.exe", "MZ");
  ServiceManager services(*machine);
  services.CreateService("Nimbra", "NimbraPost Root Service", "C:\\NB\\NimbraSrv.exe");
  Processes processes(*machine, "C:\\NB");
  auto fixed = std::chrono::system_clock::from_time_t(946684800);
  machine->SetFixedNow(fixed);
  InstallNetCommand(processes, services);

  ProcessResult started =
      processes.CreateProcess({}, "NET START \"NimbraPost Root Service\"", ShowWindow::Hide, true);
  EXPECT_TRUE(started.Started());
  EXPECT_EQ(started.exit_code, 0u);
  EXPECT_EQ(services.Find("Nimbra")->state, ServiceState::Running);
  // Already running, and an unknown service: the tool's failure code.
  EXPECT_EQ(processes.CreateProcess({}, "net start nimbra", ShowWindow::Hide, true).exit_code, 2u);
  EXPECT_EQ(processes.CreateProcess({}, "net start \"No Such\"", ShowWindow::Hide, true).exit_code,
            2u);
  EXPECT_EQ(processes.CreateProcess({}, "net stop NimbraPost Root Service", ShowWindow::Hide, true)
                .exit_code,
            0u);
  EXPECT_EQ(services.Find("Nimbra")->state, ServiceState::Stopped);
  ASSERT_EQ(processes.Journal().Entries().size(), 4u);
  EXPECT_EQ(processes.Journal().Entries()[0].time, fixed);  // the machine's clock
  EXPECT_EQ(processes.Journal().Entries()[0].program, machine->SystemDirectory() + "\\NET.exe");
}

TEST(Services, AServiceProgramRegistersItselfWhenRunWithInstall) {
  TestMachine machine;
  machine.PutFile("C:\\PROGRA~1\\NIMBRA~1\\NimbraSrv.exe", "MZ");
  ServiceManager services(*machine);
  Processes processes(*machine, "D:\\");
  InstallSelfRegisteringService(processes, services, "NimbraSrv.exe", "Nimbra",
                                "NimbraPost Root Service");
  InstallNetCommand(processes, services);
  EXPECT_EQ(processes
                .CreateProcess({}, "C:\\PROGRA~1\\NIMBRA~1\\NIMBRASRV.EXE -INSTALL",
                               ShowWindow::Hide, true)
                .exit_code,
            0u);
  std::optional<ServiceInfo> info = services.Find("Nimbra");
  ASSERT_TRUE(info.has_value());
  EXPECT_EQ(info->state, ServiceState::Stopped);
  EXPECT_EQ(info->display_name, "NimbraPost Root Service");
  EXPECT_EQ(processes.WinExec("NET START \"NimbraPost Root Service\"", ShowWindow::Hide), 33u);
  EXPECT_EQ(services.Find("Nimbra")->state, ServiceState::Running);
  // Installing twice fails as CreateService does; -REMOVE deletes.
  EXPECT_EQ(processes
                .CreateProcess({}, "C:\\PROGRA~1\\NIMBRA~1\\NIMBRASRV.EXE -INSTALL",
                               ShowWindow::Hide, true)
                .exit_code,
            kErrorServiceExists);
  processes.CreateProcess({}, "C:\\PROGRA~1\\NIMBRA~1\\NIMBRASRV.EXE -REMOVE", ShowWindow::Hide,
                          true);
  EXPECT_FALSE(services.Find("Nimbra").has_value());
}

}  // namespace
}  // namespace nimbra::platform
