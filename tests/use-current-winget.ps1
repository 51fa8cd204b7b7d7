# Makes the current winget usable for a job's later steps (windows-11-arm has
# none; windows-latest's reads no 1.12.0 manifest) with the WinGet.Client
# module, as actions/runner-images issue 14083 was answered. The module sends
# GITHUB_TOKEN to GitHub's API from the release with microsoft/winget-cli PR
# 6071 on (issue 5949: shared runners meet the unauthenticated limit).
# Usage: use-current-winget.ps1 [-MustBeNewerThan MAJOR.MINOR]
param([version] $MustBeNewerThan)
$ErrorActionPreference = 'Stop'

# Some windows-2025 images come without the gallery registered (actions/runner-images issue 13758).
if (-not (Get-PSRepository -Name PSGallery -ErrorAction SilentlyContinue)) {
    'PSGallery is not registered on this runner; registering it'
    Register-PSRepository -Default
}
Install-Module -Name Microsoft.WinGet.Client -Repository PSGallery -Scope CurrentUser -Force
try {
    Repair-WinGetPackageManager -Latest -Force
} catch {
    # 0x80073D02, the package in use, now and then passes (microsoft/winget-cli issue 5827).
    if ("$_" -notmatch '0x80073D02') { throw }
    "Repair-WinGetPackageManager: $_"
    'winget was in use (0x80073D02); trying once more in 30 s'
    Start-Sleep -Seconds 30
    Repair-WinGetPackageManager -Latest -Force
}
Join-Path $env:LOCALAPPDATA 'Microsoft\WinGet\Links' | Out-File -FilePath $env:GITHUB_PATH -Encoding utf8 -Append
$printed = winget --version
if ($LASTEXITCODE -ne 0) { throw "winget does not run after Repair-WinGetPackageManager" }
"winget $printed"
if (-not $MustBeNewerThan) { return }
if ($printed -notmatch '^v?(\d+)\.(\d+)') { throw "winget's version cannot be read from '$printed'" }
# winget 1.28 reports success for a zip's portable program installed from a
# local manifest, having installed nothing (microsoft/winget-cli issues 6185 and 6230).
if ([version]"$($Matches[1]).$($Matches[2])" -le $MustBeNewerThan) {
    throw "winget $printed is not newer than $MustBeNewerThan, which does not install every kind of package it claims to"
}
