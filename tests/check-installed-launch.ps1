# Runs an installed quenlark the way its users call it (Scoop's shim, winget's
# alias), with /s and a command whose blanks and quotes must survive, and
# checks that its exit status is the id of a suspended process whose command
# line is that command, exactly; then stops that process. Run by the
# workflow's install job.
# Usage: check-installed-launch.ps1 LAUNCHER
param([Parameter(Mandatory = $true)] [string] $Launcher)
$ErrorActionPreference = 'Stop'

$command = 'C:\Windows\System32\cmd.exe /c "rem  two  blanks" ""quoted"" tail'
# Process.Start hands Arguments on as they stand, with no quoting of its own.
$start = [Diagnostics.ProcessStartInfo]::new($Launcher, "/s $command")
$start.UseShellExecute = $false
$launch = [Diagnostics.Process]::Start($start)
# quenlark returns at once; one still running after a minute has hung.
if (-not $launch.WaitForExit(60000)) {
    $launch.Kill()
    throw "${Launcher}: still running after 60 s, ended"
}
# An id is a DWORD; the exit code reads it as a signed number.
$id = [BitConverter]::ToUInt32([BitConverter]::GetBytes($launch.ExitCode), 0)
if ($id -eq 0) { throw "${Launcher}: exit status 0, so it started nothing" }

$process = Get-CimInstance Win32_Process -Filter "ProcessId = $id"
if (-not $process) { throw "${Launcher}: no process has the id $id it returned" }
try {
    if ($process.CommandLine -cne $command) {
        throw "${Launcher}: process $id has the command line [$($process.CommandLine)], not [$command]"
    }
    $running = (Get-Process -Id $id).Threads | Where-Object { $_.ThreadState -ne 'Wait' -or $_.WaitReason -ne 'Suspended' }
    if ($running) { throw "${Launcher}: process $id was not left suspended" }
    "${Launcher}: process $id, suspended, with the command line [$command] as typed"
}
finally {
    Stop-Process -Id $id -Force
}
