#include "platform/qtprogramlauncher.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QProcess>
#include <QStringList>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>

#include <signal.h>
#include <unistd.h>

namespace quillark {

namespace {

QString ToQString(const std::filesystem::path& path) {
  return QString::fromStdString(path.string());
}

QStringList ToArguments(const std::vector<std::string>& arguments) {
  QStringList list;
  for (const auto& a : arguments) list << QString::fromStdString(a);
  return list;
}

// QProcess does not say why a program did not start; the file usually does.
int StartError(const std::filesystem::path& program) {
  QFileInfo info(ToQString(program));
  if (!info.exists()) return ENOENT;
  if (!info.isFile() || !info.isExecutable()) return EACCES;
  return ENOEXEC;
}

}  // namespace

bool QtProgramLauncher::CanRun(const std::filesystem::path& program) {
  QFileInfo info(ToQString(program));
  return info.isFile() && info.isExecutable();
}

LaunchResult QtProgramLauncher::Run(const std::filesystem::path& program,
                                    const std::vector<std::string>& arguments,
                                    const std::optional<std::string>& input,
                                    std::uint32_t timeoutms) {
  LaunchResult result;
  const QDeadlineTimer deadline(static_cast<qint64>(timeoutms));
  auto left = [&deadline] {
    return static_cast<int>(std::min<qint64>(deadline.remainingTime(), INT_MAX));
  };
  QProcess process;
  process.setProcessChannelMode(QProcess::ForwardedChannels);
  // Its own process group, so that a time-out stops whatever it started too.
  process.setChildProcessModifier([] { ::setpgid(0, 0); });
  process.start(ToQString(program), ToArguments(arguments));
  if (!process.waitForStarted(left())) {
    result.error = StartError(program);
    return result;
  }
  result.started = true;
  if (input.has_value() && !input->empty())
    process.write(input->data(), static_cast<qint64>(input->size()));
  process.closeWriteChannel();
  if (!process.waitForFinished(left())) {
    const qint64 pid = process.processId();
    if (pid > 0) ::kill(-static_cast<pid_t>(pid), SIGKILL);
    process.kill();
    process.waitForFinished(-1);
    result.exitcode = 128 + SIGKILL;
    return result;
  }
  result.finished = true;
  // A crash gives no exit status; report it as killed.
  result.exitcode =
      process.exitStatus() == QProcess::NormalExit ? process.exitCode() : 128 + SIGKILL;
  return result;
}

LaunchResult QtProgramLauncher::Start(const std::filesystem::path& program,
                                      const std::vector<std::string>& arguments) {
  LaunchResult result;
  QProcess process;
  process.setProgram(ToQString(program));
  process.setArguments(ToArguments(arguments));
  // The program must not read the operator console of a headless run.
  process.setStandardInputFile(QProcess::nullDevice());
  if (!process.startDetached()) {
    result.error = StartError(program);
    return result;
  }
  result.started = true;
  return result;
}

}  // namespace quillark
