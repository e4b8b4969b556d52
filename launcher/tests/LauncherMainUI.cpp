// A main user interface module for running the launcher with the real
// framework. The environment variable MAIN_UI chooses what it does:
//   crash   StartMainUI writes through a null pointer
//   hold    RunMainUI runs the event loop until standard input closes
//   (unset) both calls return at once
// Each call is written to standard output as it arrives.

#include <cstdio>

#include "CModuleBase.h"
#include "CServiceBase.h"
#include "IMainUIService.h"
#include "InputWait.h"

namespace {

void say(const char *line)
{
    std::printf("%s\n", line);
    std::fflush(stdout);
}

class MainUI : public CServiceBase<IMainUIService>
{
public:
    void StartMainUI() override
    {
        say("StartMainUI");
        if (qEnvironmentVariable("MAIN_UI") == QLatin1String("crash")) {
            volatile int *volatile pointer = nullptr;
            *pointer = 1;
        }
    }

    void RunMainUI() override
    {
        say("RunMainUI");
        if (qEnvironmentVariable("MAIN_UI") != QLatin1String("hold"))
            return;
        runEventLoopUntilInputCloses();
    }
};

IService *createMainUI()
{
    return new MainUI;
}

class MainUIModule : public CModuleBase<IModule>
{
public:
    MainUIModule() : CModuleBase(nullptr) {}
    ServiceEntry *GetServiceTable() override
    {
        static ServiceEntry table[] = {
            {QStringLiteral("MainUIService"), nullptr, &createMainUI},
            {QString(), nullptr, nullptr},
        };
        return table;
    }
};

MainUIModule theModule;

} // namespace

MODULE_EXPORT IModule *GetModuleObject()
{
    return &theModule;
}
