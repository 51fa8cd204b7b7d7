# Makes the current winget usable in a GitHub Actions job, for the steps after
# this one: windows-11-arm has no winget, and the in-box one of windows-latest
# (Windows Server 2025) knows no manifest of version 1.12.0. Installs it with
# the Microsoft.WinGet.Client module from the PowerShell Gallery, as the runner
# images' maintainers were answered (actions/runner-images issue 14083), and
# puts WinGet\Links, where winget makes its aliases, on the job's PATH.
$ErrorActionPreference = 'Stop'
Install-Module -Name Microsoft.WinGet.Client -Repository PSGallery -Scope CurrentUser -Force
Repair-WinGetPackageManager -Latest -Force
Join-Path $env:LOCALAPPDATA 'Microsoft\WinGet\Links' | Out-File -FilePath $env:GITHUB_PATH -Encoding utf8 -Append
"winget $(winget --version)"
if ($LASTEXITCODE -ne 0) { throw "winget does not run after Repair-WinGetPackageManager" }
