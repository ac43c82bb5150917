#!/usr/bin/env bash
# Builds the Windows Installer package from the program folder that
# package-gui.sh assembles, with wixl (Debian's wixl package):
#
#   scripts/windows/make-msi.sh FOLDER VERSION OUTPUT.msi
#
# Every file of FOLDER goes, per machine, into Program Files\Velmora; a Start
# menu shortcut; Velmora under "Open with" for each input extension the
# program accepts, without taking any default; an uninstall entry with name,
# version, publisher, icon and size. A newer or rebuilt version replaces the
# installed one (major upgrade: the old product is removed first, then the new
# one installed); an older one refuses to install over a newer. The description (.wxs) is
# written from the folder's listing beside OUTPUT.
set -euo pipefail

repo=$(cd "$(dirname "$0")/../.." && pwd)
folder=$(cd "$1" && pwd)
version=$2
out=$(realpath -m "$3")
work=${out%.msi}.wxs.d
rm -rf "$work"
mkdir -p "$work"
# wixl takes sources relative to where it runs.
ln -s "$folder" "$work/prog"
wxs=${out%.msi}.wxs

# The one identity of Velmora across versions: never change it, or an upgrade
# installs beside the old version instead of replacing it.
upgrade_code=5B8E2C41-7A0D-4F63-9E1B-0C6D3A9F4E27
publisher="Dravik Soft"
# Component GUIDs follow the installed path, so a file keeps its component
# from one version to the next.
guid_namespace=0E3F5A6C-2B4D-4C8E-A1F0-7D9B3E5C1A24

# Windows Installer compares a.b.c of the version; each part a number.
if ! [[ $version =~ ^[0-9]+\.[0-9]+\.[0-9]+(\.[0-9]+)?$ ]]; then
    echo "make-msi: version '$version' is not a.b.c or a.b.c.d" >&2
    exit 2
fi
[ -f "$folder/velmora.exe" ] || {
    echo "make-msi: no velmora.exe in $folder" >&2
    exit 1
}

# The extensions the program takes, from the one list it checks them with.
mapfile -t extensions < <(sed -n '/AcceptedExtensions()/,/};/p' "$repo/media/SourceFileList.cpp" |
    grep -o '"\.[a-z0-9]*"' | tr -d '"')
[ ${#extensions[@]} -gt 0 ] || {
    echo "make-msi: no extensions found in media/SourceFileList.cpp" >&2
    exit 1
}

convert -background none "$repo/data/com.draviksoft.Velmora.svg" \
    -define icon:auto-resize=256,48,32,16 "$work/velmora.ico"

xml() { sed -e 's/&/\&amp;/g' -e 's/</\&lt;/g' -e 's/>/\&gt;/g' -e 's/"/\&quot;/g' <<<"$1"; }
# Short, stable ids: a hash of the path.
id() { echo "$1$(md5sum <<<"$2" | cut -c1-24)"; }
guid() { # a name-based GUID (version 5 layout)
    local h
    h=$(printf '%s/%s' "$guid_namespace" "$1" | sha1sum | tr a-f A-F)
    printf '%s-%s-5%s-%X%s-%s\n' "${h:0:8}" "${h:8:4}" "${h:13:3}" $((0x${h:16:1} & 3 | 8)) "${h:17:3}" "${h:20:12}"
}

open_command="&quot;[INSTALLDIR]velmora.exe&quot; &quot;%1&quot;"
progid=Velmora.MediaFile
classes='Software\Classes'

# The program's own component: the executable, the shortcut and the
# registration, removed together.
program_component() {
    cat <<EOF
<Component Id="ProgramExe" Guid="$(guid velmora.exe)" Win64="yes">
  <File Id="VelmoraExe" Name="velmora.exe" KeyPath="yes" Source="prog/velmora.exe"/>
  <Shortcut Id="StartMenuShortcut" Directory="ProgramMenuFolder" Name="Velmora"
            Description="Convert audio and video files to AMR, AAC, MP3, AC3, M4A, OGG or WAV"
            Target="[INSTALLDIR]velmora.exe" WorkingDirectory="INSTALLDIR" Icon="velmora.ico"/>
  <RegistryValue Root="HKLM" Key="Software\Microsoft\Windows\CurrentVersion\App Paths\velmora.exe" Type="string" Value="[INSTALLDIR]velmora.exe"/>
  <RegistryValue Root="HKLM" Key="$classes\Applications\velmora.exe" Name="FriendlyAppName" Type="string" Value="Velmora"/>
  <RegistryValue Root="HKLM" Key="$classes\Applications\velmora.exe\shell\open\command" Type="string" Value="$open_command"/>
  <RegistryValue Root="HKLM" Key="$classes\\$progid" Type="string" Value="Velmora media file"/>
  <RegistryValue Root="HKLM" Key="$classes\\$progid\DefaultIcon" Type="string" Value="[INSTALLDIR]velmora.exe,0"/>
  <RegistryValue Root="HKLM" Key="$classes\\$progid\shell\open" Name="FriendlyAppName" Type="string" Value="Velmora"/>
  <RegistryValue Root="HKLM" Key="$classes\\$progid\shell\open\command" Type="string" Value="$open_command"/>
EOF
    local ext
    for ext in "${extensions[@]}"; do
        # Values only: the extension's own default stays whatever it was.
        printf '  <RegistryValue Root="HKLM" Key="%s" Name="%s" Type="string" Value=""/>\n' \
            "$classes\\Applications\\velmora.exe\\SupportedTypes" "$ext" \
            "$classes\\$ext\\OpenWithProgids" "$progid"
    done
    echo "</Component>"
}

components=()
# The folder's tree, one component per file.
tree() { # relative folder ("" for the top)
    local rel=$1 path entry name
    shopt -s dotglob nullglob
    path=$folder${rel:+/$rel}
    for entry in "$path"/*; do
        name=$(basename "$entry")
        local relname=${rel:+$rel/}$name
        if [ -d "$entry" ]; then
            echo "<Directory Id=\"$(id dir "$relname")\" Name=\"$(xml "$name")\">"
            tree "$relname"
            echo "</Directory>"
        elif [ "$relname" = velmora.exe ]; then
            program_component
            components+=(ProgramExe)
        else
            local cid
            cid=$(id cmp "$relname")
            echo "<Component Id=\"$cid\" Guid=\"$(guid "$relname")\" Win64=\"yes\">"
            echo "  <File Id=\"$(id fil "$relname")\" Name=\"$(xml "$name")\" KeyPath=\"yes\" Source=\"prog/$(xml "$relname")\"/>"
            echo "</Component>"
            components+=("$cid")
        fi
    done
}

tree "" >"$work/tree.xml"

{
    cat <<EOF
<?xml version="1.0" encoding="utf-8"?>
<Wix xmlns="http://schemas.microsoft.com/wix/2006/wi">
<Product Id="*" Name="Velmora" Language="1033" Version="$version" Manufacturer="$publisher" UpgradeCode="$upgrade_code">
<Package InstallerVersion="500" Compressed="yes" InstallScope="perMachine"
         Description="Velmora $version" Manufacturer="$publisher"/>
<MajorUpgrade DowngradeErrorMessage="A newer version of Velmora is already installed."/>
<Media Id="1" Cabinet="velmora.cab" EmbedCab="yes"/>
<Icon Id="velmora.ico" SourceFile="velmora.ico"/>
<Property Id="ARPPRODUCTICON" Value="velmora.ico"/>
<Property Id="ARPSIZE" Value="$(du -sk "$folder/" | cut -f1)"/>
<Property Id="ARPNOMODIFY" Value="1"/>
<Property Id="ARPNOREPAIR" Value="1"/>
<Property Id="ARPURLINFOABOUT" Value="https://www.draviksoft.com/velmora/"/>
<Directory Id="TARGETDIR" Name="SourceDir">
<Directory Id="ProgramFiles64Folder">
<Directory Id="INSTALLDIR" Name="Velmora">
EOF
    cat "$work/tree.xml"
    cat <<EOF
</Directory>
</Directory>
<Directory Id="ProgramMenuFolder"/>
</Directory>
<Feature Id="Program" Title="Velmora" Level="1">
EOF
    for c in "${components[@]}"; do echo "<ComponentRef Id=\"$c\"/>"; done
    cat <<EOF
</Feature>
</Product>
</Wix>
EOF
} >"$wxs"

rm -f "$out"
(cd "$work" && wixl -a x64 -o "$out" "$wxs")
# wixl's major upgrade leaves out the installed product of the same version,
# so a rebuild would install beside it, two entries sharing one folder.
# Its Upgrade row is widened to take the same version in too
# (msidbUpgradeAttributesVersionMaxInclusive).
msiinfo export "$out" Upgrade >"$work/Upgrade.idt"
grep -q $'\t1\t\tWIX_UPGRADE_DETECTED\r$' "$work/Upgrade.idt" || {
    echo "make-msi: wixl's Upgrade table is not the one expected:" >&2
    cat "$work/Upgrade.idt" >&2
    exit 1
}
sed -i $'s/\t1\t\tWIX_UPGRADE_DETECTED\r$/\t513\t\tWIX_UPGRADE_DETECTED\r/' "$work/Upgrade.idt"
msibuild "$out" -i "$work/Upgrade.idt"
echo "$out: $(du -k "$out" | cut -f1) KiB, ${#components[@]} files, ${#extensions[@]} extensions under Open with"
