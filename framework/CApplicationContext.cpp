#include "CApplicationContext.h"

#include <QDebug>

#include "FrameworkOptions.h"
#include "cmdline/parser.h"

IService *CApplicationContext::GetService(const QString &name, bool create)
{
    return m_moduleManager.GetService(name, create);
}

bool CApplicationContext::HasService(const QString &name)
{
    return m_moduleManager.HasService(name);
}

void CApplicationContext::FireEvent(int eventId, IEventData *data, bool async, bool create)
{
    m_eventManager.FireEvent(eventId, data, async, create);
}

void CApplicationContext::ApplyServiceLife()
{
    m_moduleManager.ApplyServiceLife();
}

int CApplicationContext::Initialize(int argc, char **argv)
{
    ReadCommandLine(argc, argv);
    if (m_moduleManager.Initialize(this) != 0) {
        qDebug() << "init module manager failed";
        return -1;
    }
    if (m_eventManager.Initialize(this) != 0) {
        qDebug() << "init event manager failed";
        return -1;
    }
    m_eventManager.Start();
    return 0;
}

void CApplicationContext::ReadCommandLine(int argc, char **argv)
{
    cmdline::parser parser;
    FrameworkOptions::Add(parser);
    parser.parse_or_exit(argc, argv);
    FrameworkOptions::Store(parser, this);
}

void CApplicationContext::Uninitialize()
{
    m_eventManager.Stop();
    m_eventManager.Uninitialize();
    m_moduleManager.Uninitialize();
}
