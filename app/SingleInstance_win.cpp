// One calling client per desktop on Windows: the named mutex "ZELK_WCallClient" and the
// application window "ZELK Windows CallClient" of class "TApplication" (InstanceLock_win),
// behind SingleInstance. Takes the place of SingleInstance.cpp in a Windows build; the lock
// file and the local server of that header are not used here.
#include "app/SingleInstance.h"

#include "app/InstanceLock_win.h"

#include <QMetaObject>

#include <map>
#include <memory>

namespace zelk {

namespace {

// What an instance holds on Windows. SingleInstance's members are the Linux ones, so the
// Windows state is kept beside it, per object.
struct WindowsInstance
{
    std::unique_ptr<win32::InstanceMutex> mutex;
    std::unique_ptr<win32::ApplicationWindow> window;
};

std::map<const SingleInstance *, WindowsInstance> &instances()
{
    static std::map<const SingleInstance *, WindowsInstance> state;
    return state;
}

// The application window, through which later starts find and activate this instance.
void openApplicationWindow(SingleInstance *instance)
{
    WindowsInstance &state = instances()[instance];
    if (state.window)
        return;
    state.window = std::make_unique<win32::ApplicationWindow>([instance] {
        // Called inside the window procedure: the calling window comes up from the event loop.
        QMetaObject::invokeMethod(instance, &SingleInstance::activationRequested, Qt::QueuedConnection);
    });
}

} // namespace

SingleInstance::SingleInstance(const QString &name, QObject *parent) : QObject(parent), m_name(name)
{
}

SingleInstance::~SingleInstance()
{
    instances().erase(this); // closes the mutex handle and the application window
}

bool SingleInstance::tryAcquire()
{
    if (m_primary)
        return true;
    WindowsInstance &state = instances()[this];
    if (!state.mutex)
        state.mutex = std::make_unique<win32::InstanceMutex>(reinterpret_cast<const wchar_t *>(m_name.utf16()));
    if (!state.mutex->isFirst())
        return false;
    openApplicationWindow(this);
    m_primary = true;
    return true;
}

void SingleInstance::acquireWhenFree(int retryMs)
{
    Q_UNUSED(retryMs);
    // Started by the self-update while the old instance still closes: the handle to the
    // existing mutex is kept, so the mutex outlives the old instance, and this instance's
    // application window lets later starts find it.
    openApplicationWindow(this);
}

bool SingleInstance::activateRunning(const QString &name, int timeoutMs)
{
    Q_UNUSED(name);
    Q_UNUSED(timeoutMs);
    return win32::activateRunningInstance();
}

void SingleInstance::onNewConnection()
{
}

} // namespace zelk
