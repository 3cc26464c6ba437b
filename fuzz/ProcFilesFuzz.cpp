// The kernel's and the distribution's text files: /proc/PID/stat, cmdline, status and statm,
// /proc/stat, meminfo, uptime, net/route, mountinfo, os-release and sysfs uevent files.
#include "FuzzTarget.h"

#include "platform/linux/ProcParsers.h"
#include "platform/linux/SystemInfoParsers.h"

#include <string_view>

VESK_FUZZ_TARGET(proc_files)
{
    const std::string_view text(input.constData(), size_t(input.size()));
    if (const auto stat = vesk::parseProcStat(input))
        (void)vesk::processStartTime(1780000000, stat->startTicks, 100);
    const QStringList argv = vesk::parseCmdline(input);
    (void)vesk::scriptArgument(argv);
    if (const auto boot = vesk::parseBootTime(input))
        (void)vesk::processStartTime(*boot, 12345, 100);
    (void)vesk::parseMemInfo(text);
    (void)vesk::parseCpuTicks(text);
    (void)vesk::parseUptime(text);
    (void)vesk::parseOsReleaseVersion(text);
    (void)vesk::parseDefaultRouteInterface(text);
    (void)vesk::networkMountNames(vesk::parseMountInfo(text));
    (void)vesk::parseProcessStatFields(text);
    (void)vesk::parseContextSwitches(text);
    (void)vesk::parseStatmResidentPages(text);
    (void)vesk::ueventValue(text, "POWER_SUPPLY_CAPACITY");
}
