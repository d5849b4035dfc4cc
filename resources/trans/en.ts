<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<context>
    <name>MainWindow</name>
    <message>
        <source>192.168.100.88</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>BACK</source>
        <translation>BACK</translation>
    </message>
    <message>
        <source>BIN Files(*.bin)</source>
        <translation>BIN Files(*.bin)</translation>
    </message>
    <message>
        <source>Backup</source>
        <translation>Backup</translation>
    </message>
    <message>
        <source>Backup File </source>
        <translation>Backup File </translation>
    </message>
    <message>
        <source>Backup Status </source>
        <translation>Backup Status </translation>
    </message>
    <message>
        <source>Backup Success</source>
        <translation>Backup Success</translation>
    </message>
    <message>
        <source>Change</source>
        <translation>Change</translation>
    </message>
    <message>
        <source>checking file...</source>
        <translation>checking file...</translation>
    </message>
    <message>
        <source>Close Flicker</source>
        <translation>Close Flicker</translation>
    </message>
    <message>
        <source>Command format error</source>
        <translation>Command format error</translation>
    </message>
    <message>
        <source>Config</source>
        <translation>Config</translation>
    </message>
    <message>
        <source>Connect</source>
        <translation>Connect</translation>
    </message>
    <message>
        <source>Connection failure</source>
        <translation>Connection failure</translation>
    </message>
    <message>
        <source>Connection timeout</source>
        <translation>Connection timeout</translation>
    </message>
    <message>
        <source>DHCP</source>
        <translation>DHCP</translation>
    </message>
    <message>
        <source>DOWN</source>
        <translation>Down</translation>
    </message>
    <message>
        <source>Device ID</source>
        <translation>Device ID</translation>
    </message>
    <message>
        <source>Devices: </source>
        <translation>Devices: </translation>
    </message>
    <message>
        <source>Devices：</source>
        <translation>Devices：</translation>
    </message>
    <message>
        <source>Disconnect</source>
        <translation>Disconnect</translation>
    </message>
    <message>
        <source>Do you really want reboot?</source>
        <translation>Do you really want reboot?</translation>
    </message>
    <message>
        <source>Do you really want to exit?</source>
        <translation>Do you really want to exit?</translation>
    </message>
    <message>
        <source>English</source>
        <translation>English</translation>
    </message>
    <message>
        <source>First DNS</source>
        <translation>First DNS</translation>
    </message>
    <message>
        <source>Flicker</source>
        <translation>Flicker</translation>
    </message>
    <message>
        <source>GateWay</source>
        <translation>GateWay</translation>
    </message>
    <message>
        <source>IMG Files(*.img)</source>
        <translation>IMG Files(*.img)</translation>
    </message>
    <message>
        <source>IP Address</source>
        <translation>IP Address</translation>
    </message>
    <message>
        <source>Information</source>
        <translation>Information</translation>
    </message>
    <message>
        <source>Initializes the multicast failure</source>
        <translation>Initializes the multicast failure</translation>
    </message>
    <message>
        <source>Interface</source>
        <translation>Interface</translation>
    </message>
    <message>
        <source>Join the multicast group fail</source>
        <translation>Join the multicast group fail</translation>
    </message>
    <message>
        <source>LEFT</source>
        <translation>LEFT</translation>
    </message>
    <message>
        <source>Language</source>
        <translation>Language</translation>
    </message>
    <message>
        <source>Load File</source>
        <translation>Load File</translation>
    </message>
    <message>
        <source>MAC Address</source>
        <translation>MAC Address</translation>
    </message>
    <message>
        <source>MENU</source>
        <translation>MENU</translation>
    </message>
    <message>
        <source>MainWindow</source>
        <translation>UPGRADE v2.7</translation>
    </message>
    <message>
        <source>Manual</source>
        <translation>Manual</translation>
    </message>
    <message>
        <source>Mode</source>
        <translation>Mode</translation>
    </message>
    <message>
        <source>NetMask</source>
        <translation>NetMask</translation>
    </message>
    <message>
        <source>Network information fill in error</source>
        <translation>Network information fill in error</translation>
    </message>
    <message>
        <source>No</source>
        <translation>No</translation>
    </message>
    <message>
        <source>No picture for 5 s, reconnecting...</source>
        <translation>No picture for 5 s, reconnecting...</translation>
    </message>
    <message>
        <source>Not exist backup files</source>
        <translation>Not exist backup files</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Open</source>
        <translation>Open</translation>
    </message>
    <message>
        <source>Open file failed</source>
        <translation>Open file failed</translation>
    </message>
    <message>
        <source>PKG Files(*.pkg)</source>
        <translation>PKG Files(*.pkg)</translation>
    </message>
    <message>
        <source>Please select the need to configure the equipment</source>
        <translation>Please select the need to configure the equipment</translation>
    </message>
    <message>
        <source>Port</source>
        <translation>Port</translation>
    </message>
    <message>
        <source>Preview</source>
        <translation>Preview</translation>
    </message>
    <message>
        <source>Query</source>
        <translation>Query</translation>
    </message>
    <message>
        <source>RIGHT</source>
        <translation>RIGHT</translation>
    </message>
    <message>
        <source>Reboot</source>
        <translation>Reboot</translation>
    </message>
    <message>
        <source>Reset</source>
        <translation>Reset</translation>
    </message>
    <message>
        <source>Restore</source>
        <translation>Restore</translation>
    </message>
    <message>
        <source>Restore Success</source>
        <translation>Restore Success</translation>
    </message>
    <message>
        <source>Restore failed reboot...</source>
        <translation>Restore failed reboot...</translation>
    </message>
    <message>
        <source>Search</source>
        <translation>Search</translation>
    </message>
    <message>
        <source>Select Upgrade pack</source>
        <translation>Select Upgrade pack</translation>
    </message>
    <message>
        <source>Select Upgrade type</source>
        <translation>Select Upgrade type</translation>
    </message>
    <message>
        <source>Set</source>
        <translation>Set</translation>
    </message>
    <message>
        <source>Set Success</source>
        <translation>Set Success</translation>
    </message>
    <message>
        <source>The camera refused the settings</source>
        <translation>The camera refused the settings</translation>
    </message>
    <message numerus="yes">
        <source>Address shared with %n other camera(s)</source>
        <translation>
            <numerusform>Address shared with %n other camera</numerusform>
            <numerusform>Address shared with %n other cameras</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>MAC shared with %n other camera(s)</source>
        <translation>
            <numerusform>MAC shared with %n other camera</numerusform>
            <numerusform>MAC shared with %n other cameras</numerusform>
        </translation>
    </message>
    <message>
        <source>Status</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>TYPE1</source>
        <translation>TYPE1</translation>
    </message>
    <message>
        <source>TYPE2</source>
        <translation>TYPE2</translation>
    </message>
    <message>
        <source>The network information is incomplete</source>
        <translation>The network information is incomplete</translation>
    </message>
    <message>
        <source>Type</source>
        <translation>Type</translation>
    </message>
    <message>
        <source>UP</source>
        <translation>UP</translation>
    </message>
    <message>
        <source>UPGRADE v2.7</source>
        <translation>UPGRADE v2.7</translation>
    </message>
    <message>
        <source>Upgrade</source>
        <translation>Upgrade</translation>
    </message>
    <message>
        <source>Upgrade Success</source>
        <translation>Upgrade Success</translation>
    </message>
    <message>
        <source>Upgrade file type does not match</source>
        <translation>Upgrade file type does not match</translation>
    </message>
    <message>
        <source>Upgrade file type does not match, whether to continue to Upgrade?</source>
        <translation>Upgrade file type does not match, whether to continue to Upgrade?</translation>
    </message>
    <message>
        <source>Uptime</source>
        <translation>Uptime</translation>
    </message>
    <message>
        <source>Warning</source>
        <translation>Warning</translation>
    </message>
    <message>
        <source>arm upgrade file not found reboot...</source>
        <translation>arm upgrade file not found reboot...</translation>
    </message>
    <message>
        <source>backup failed</source>
        <translation>backup failed</translation>
    </message>
    <message>
        <source>board is not enough disk space</source>
        <translation>board is not enough disk space</translation>
    </message>
    <message>
        <source>connected</source>
        <translation>connected</translation>
    </message>
    <message>
        <source>connecting...</source>
        <translation>connecting...</translation>
    </message>
    <message>
        <source>disconnect</source>
        <translation>disconnect</translation>
    </message>
    <message>
        <source>exist</source>
        <translation>exist</translation>
    </message>
    <message>
        <source>file verify fail reboot...</source>
        <translation>file verify fail reboot...</translation>
    </message>
    <message>
        <source>file verify succeed upgradeing...</source>
        <translation>file verify succeed upgradeing...</translation>
    </message>
    <message>
        <source>none</source>
        <translation>none</translation>
    </message>
    <message>
        <source>receive file finish</source>
        <translation>receive file finish</translation>
    </message>
    <message>
        <source>restoring...</source>
        <translation>restoring...</translation>
    </message>
    <message>
        <source>select upgrade pack</source>
        <translation>select upgrade pack</translation>
    </message>
    <message>
        <source>start backup</source>
        <translation>start backup</translation>
    </message>
    <message>
        <source>start receive</source>
        <translation>start receive</translation>
    </message>
    <message>
        <source>timed out</source>
        <translation>timed out</translation>
    </message>
    <message>
        <source>transmitting...</source>
        <translation>transmitting...</translation>
    </message>
    <message>
        <source>upgrade fail reboot...</source>
        <translation>upgrade fail reboot...</translation>
    </message>
    <message>
        <source>waiting upgrade start</source>
        <translation>waiting upgrade start</translation>
    </message>
    <message>
        <source>中文</source>
        <translation>中文</translation>
    </message>
    <message>
        <source>Backup failed, the upgrade was not started</source>
        <translation>Backup failed, the upgrade was not started</translation>
    </message>
    <message>
        <source>stalled: no progress for %1 s</source>
        <translation>stalled: no progress for %1 s</translation>
    </message>
    <message>
        <source>Version now: %1</source>
        <translation>Version now: %1</translation>
    </message>
    <message>
        <source>The camera did not answer after the reboot</source>
        <translation>The camera did not answer after the reboot</translation>
    </message>
</context>
<context>
    <name>AssignDialog</name>
    <message>
        <source>Assign addresses</source>
        <translation>Assign addresses</translation>
    </message>
    <message>
        <source>First address</source>
        <translation>First address</translation>
    </message>
    <message>
        <source>Netmask</source>
        <translation>Netmask</translation>
    </message>
    <message>
        <source>Gateway</source>
        <translation>Gateway</translation>
    </message>
    <message>
        <source>DNS (empty: the gateway)</source>
        <translation>DNS (empty: the gateway)</translation>
    </message>
    <message>
        <source>Device ID</source>
        <translation>Device ID</translation>
    </message>
    <message>
        <source>MAC Address</source>
        <translation>MAC Address</translation>
    </message>
    <message>
        <source>Address</source>
        <translation>Address</translation>
    </message>
    <message>
        <source>Skipped</source>
        <translation>Skipped</translation>
    </message>
    <message>
        <source>Result</source>
        <translation>Result</translation>
    </message>
    <message>
        <source>Apply</source>
        <translation>Apply</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>in use</source>
        <translation>in use</translation>
    </message>
    <message>
        <source>this computer</source>
        <translation>this computer</translation>
    </message>
    <message>
        <source>skipped</source>
        <translation>skipped</translation>
    </message>
    <message>
        <source>gateway or DNS</source>
        <translation>gateway or DNS</translation>
    </message>
    <message>
        <source>not usable</source>
        <translation>not usable</translation>
    </message>
    <message>
        <source>sending...</source>
        <translation>sending...</translation>
    </message>
    <message>
        <source>acknowledged</source>
        <translation>acknowledged</translation>
    </message>
    <message>
        <source>confirmed</source>
        <translation>confirmed</translation>
    </message>
    <message>
        <source>refused</source>
        <translation>refused</translation>
    </message>
    <message>
        <source>no answer</source>
        <translation>no answer</translation>
    </message>
    <message>
        <source>found at %1</source>
        <translation>found at %1</translation>
    </message>
    <message>
        <source>Fill in the first address, netmask and gateway</source>
        <translation>Fill in the first address, netmask and gateway</translation>
    </message>
    <message>
        <source>The camera %1 reports no usable MAC address</source>
        <translation>The camera %1 reports no usable MAC address</translation>
    </message>
    <message>
        <source>Network information fill in error</source>
        <translation>Network information fill in error</translation>
    </message>
    <message>
        <source>The range does not fit in the subnet: it would pass %1</source>
        <translation>The range does not fit in the subnet: it would pass %1</translation>
    </message>
    <message>
        <source>Done: </source>
        <translation>Done: </translation>
    </message>
    <message>
        <source>%1 confirmed, %2 acknowledged, %3 refused, %4 no answer, %5 skipped</source>
        <translation>%1 confirmed, %2 acknowledged, %3 refused, %4 no answer, %5 skipped</translation>
    </message>
    <message numerus="yes">
        <source>%n camera(s) from %1 to %2</source>
        <translation>
            <numerusform>%n camera from %1 to %2</numerusform>
            <numerusform>%n cameras from %1 to %2</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>; %n address(es) skipped</source>
        <translation>
            <numerusform>; %n address skipped</numerusform>
            <numerusform>; %n addresses skipped</numerusform>
        </translation>
    </message>
    <message>
        <source>Warning</source>
        <translation>Warning</translation>
    </message>
    <message>
        <source>Information</source>
        <translation>Information</translation>
    </message>
    <message numerus="yes">
        <source>Give %n camera(s) their new addresses?</source>
        <translation>
            <numerusform>Give %n camera its new address?</numerusform>
            <numerusform>Give %n cameras their new addresses?</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>DeviceListTools</name>
    <message>
        <source>Assign addresses...</source>
        <translation>Assign addresses...</translation>
    </message>
    <message>
        <source>Export list...</source>
        <translation>Export list...</translation>
    </message>
    <message>
        <source>Export list</source>
        <translation>Export list</translation>
    </message>
    <message>
        <source>CSV files (*.csv)</source>
        <translation>CSV files (*.csv)</translation>
    </message>
    <message>
        <source>Warning</source>
        <translation>Warning</translation>
    </message>
    <message>
        <source>The list could not be saved: %1</source>
        <translation>The list could not be saved: %1</translation>
    </message>
</context>
<context>
    <name>MyThread</name>
    <message>
        <source>Day</source>
        <translation>Day</translation>
    </message>
</context>
<context>
    <name>RolloutTab</name>
    <message>
        <source>Firmware</source>
        <translation>Firmware</translation>
    </message>
    <message>
        <source>Open</source>
        <translation>Open</translation>
    </message>
    <message>
        <source>Type</source>
        <translation>Type</translation>
    </message>
    <message>
        <source>Parallel</source>
        <translation>Parallel</translation>
    </message>
    <message>
        <source>Canary</source>
        <translation>Canary</translation>
    </message>
    <message>
        <source>Stop after failures</source>
        <translation>Stop after failures</translation>
    </message>
    <message>
        <source>never</source>
        <translation>never</translation>
    </message>
    <message>
        <source>Back up first</source>
        <translation>Back up first</translation>
    </message>
    <message>
        <source>Confirm</source>
        <translation>Confirm</translation>
    </message>
    <message>
        <source> s</source>
        <translation> s</translation>
    </message>
    <message>
        <source>Address</source>
        <translation>Address</translation>
    </message>
    <message>
        <source>Device ID</source>
        <translation>Device ID</translation>
    </message>
    <message>
        <source>State</source>
        <translation>State</translation>
    </message>
    <message>
        <source>Progress</source>
        <translation>Progress</translation>
    </message>
    <message>
        <source>Version before → after</source>
        <translation>Version before → after</translation>
    </message>
    <message>
        <source>Reason</source>
        <translation>Reason</translation>
    </message>
    <message>
        <source>A camera of a running rollout cannot be upgraded from the Upgrade tab, and a camera the Upgrade tab is upgrading cannot join a rollout.</source>
        <translation>A camera of a running rollout cannot be upgraded from the Upgrade tab, and a camera the Upgrade tab is upgrading cannot join a rollout.</translation>
    </message>
    <message>
        <source>Remove</source>
        <translation>Remove</translation>
    </message>
    <message>
        <source>Start</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>Export report</source>
        <translation>Export report</translation>
    </message>
    <message>
        <source>%1 is being upgraded by the rollout; wait until it is done.</source>
        <translation>%1 is being upgraded by the rollout; wait until it is done.</translation>
    </message>
    <message>
        <source>Rollout</source>
        <translation>Rollout</translation>
    </message>
    <message>
        <source>Add to rollout</source>
        <translation>Add to rollout</translation>
    </message>
    <message>
        <source>SOC</source>
        <translation>SOC</translation>
    </message>
    <message>
        <source>ARM</source>
        <translation>ARM</translation>
    </message>
    <message>
        <source>SOC&amp;ARM</source>
        <translation>SOC&amp;ARM</translation>
    </message>
    <message>
        <source>MTD</source>
        <translation>MTD</translation>
    </message>
    <message>
        <source>Partition %1</source>
        <translation>Partition %1</translation>
    </message>
    <message>
        <source>Cameras can be added when the running rollout is done.</source>
        <translation>Cameras can be added when the running rollout is done.</translation>
    </message>
    <message>
        <source>Select the firmware file</source>
        <translation>Select the firmware file</translation>
    </message>
    <message>
        <source>Firmware files (*.pkg *.bin *.img);;All files (*)</source>
        <translation>Firmware files (*.pkg *.bin *.img);;All files (*)</translation>
    </message>
    <message>
        <source>Add cameras from the device list first (Add to rollout).</source>
        <translation>Add cameras from the device list first (Add to rollout).</translation>
    </message>
    <message>
        <source>Choose the firmware file.</source>
        <translation>Choose the firmware file.</translation>
    </message>
    <message>
        <source>The Upgrade tab is upgrading %1; wait until it is done or remove it from the rollout.</source>
        <translation>The Upgrade tab is upgrading %1; wait until it is done or remove it from the rollout.</translation>
    </message>
    <message>
        <source>The file name does not match the type.</source>
        <translation>The file name does not match the type.</translation>
    </message>
    <message>
        <source>Cannot read the firmware file %1.</source>
        <translation>Cannot read the firmware file %1.</translation>
    </message>
    <message>
        <source>Cannot use the firmware file: %1</source>
        <translation>Cannot use the firmware file: %1</translation>
    </message>
    <message>
        <source>CSV files (*.csv)</source>
        <translation>CSV files (*.csv)</translation>
    </message>
    <message>
        <source>The report could not be written: %1</source>
        <translation>The report could not be written: %1</translation>
    </message>
    <message>
        <source>%1 of %2 cameras done</source>
        <translation>%1 of %2 cameras done</translation>
    </message>
    <message>
        <source>%1 confirmed, %2 unchanged, %3 succeeded, %4 failed, %5 skipped</source>
        <translation>%1 confirmed, %2 unchanged, %3 succeeded, %4 failed, %5 skipped</translation>
    </message>
    <message>
        <source> (stopping: running cameras finish)</source>
        <translation> (stopping: running cameras finish)</translation>
    </message>
    <message>
        <source>Warning</source>
        <translation>Warning</translation>
    </message>
    <message>
        <source>waiting</source>
        <translation>waiting</translation>
    </message>
    <message>
        <source>backing up</source>
        <translation>backing up</translation>
    </message>
    <message>
        <source>querying</source>
        <translation>querying</translation>
    </message>
    <message>
        <source>uploading</source>
        <translation>uploading</translation>
    </message>
    <message>
        <source>verifying</source>
        <translation>verifying</translation>
    </message>
    <message>
        <source>flashing</source>
        <translation>flashing</translation>
    </message>
    <message>
        <source>rebooting</source>
        <translation>rebooting</translation>
    </message>
    <message>
        <source>confirming</source>
        <translation>confirming</translation>
    </message>
    <message>
        <source>confirmed</source>
        <translation>confirmed</translation>
    </message>
    <message>
        <source>unchanged</source>
        <translation>unchanged</translation>
    </message>
    <message>
        <source>succeeded</source>
        <translation>succeeded</translation>
    </message>
    <message>
        <source>failed</source>
        <translation>failed</translation>
    </message>
    <message>
        <source>skipped</source>
        <translation>skipped</translation>
    </message>
    <message>
        <source>timed out</source>
        <translation>timed out</translation>
    </message>
    <message>
        <source>no answer to the version query (check the work type)</source>
        <translation>no answer to the version query (check the work type)</translation>
    </message>
    <message>
        <source>connection failed</source>
        <translation>connection failed</translation>
    </message>
    <message>
        <source>the file name does not match the camera</source>
        <translation>the file name does not match the camera</translation>
    </message>
    <message>
        <source>camera: not enough disk space (U 1)</source>
        <translation>camera: not enough disk space (U 1)</translation>
    </message>
    <message>
        <source>camera: file verification failed (U 6)</source>
        <translation>camera: file verification failed (U 6)</translation>
    </message>
    <message>
        <source>camera: upgrade failed (U 8)</source>
        <translation>camera: upgrade failed (U 8)</translation>
    </message>
    <message>
        <source>camera: ARM upgrade file not found (E)</source>
        <translation>camera: ARM upgrade file not found (E)</translation>
    </message>
    <message>
        <source>connection dropped</source>
        <translation>connection dropped</translation>
    </message>
    <message>
        <source>firmware file unreadable</source>
        <translation>firmware file unreadable</translation>
    </message>
    <message>
        <source>backup failed</source>
        <translation>backup failed</translation>
    </message>
    <message>
        <source>not back after the reboot</source>
        <translation>not back after the reboot</translation>
    </message>
    <message>
        <source>not a camera address</source>
        <translation>not a camera address</translation>
    </message>
    <message>
        <source>the file name is too long for the record</source>
        <translation>the file name is too long for the record</translation>
    </message>
    <message>
        <source>camera: unexpected status</source>
        <translation>camera: unexpected status</translation>
    </message>
    <message>
        <source>the camera sent an unusable archive</source>
        <translation>the camera sent an unusable archive</translation>
    </message>
    <message>
        <source>the archive&apos;s MD5 does not match</source>
        <translation>the archive&apos;s MD5 does not match</translation>
    </message>
    <message>
        <source>cannot write %1</source>
        <translation>cannot write %1</translation>
    </message>
    <message>
        <source>camera: restore failed</source>
        <translation>camera: restore failed</translation>
    </message>
    <message>
        <source>cancelled</source>
        <translation>cancelled</translation>
    </message>
    <message>
        <source>Check versions</source>
        <translation>Check versions</translation>
    </message>
    <message>
        <source>Back up all</source>
        <translation>Back up all</translation>
    </message>
    <message>
        <source>Retry failed and skipped</source>
        <translation>Retry failed and skipped</translation>
    </message>
    <message>
        <source>%1 cameras of this table are upgraded already. Upgrade them again? &quot;Retry failed and skipped&quot; upgrades only the others.</source>
        <translation>%1 cameras of this table are upgraded already. Upgrade them again? &quot;Retry failed and skipped&quot; upgrades only the others.</translation>
    </message>
    <message>
        <source>The Rollout tab is still at work. Closing the window interrupts it: transfers under way are cut off and cameras not yet started are skipped. Close anyway?</source>
        <translation>The Rollout tab is still at work. Closing the window interrupts it: transfers under way are cut off and cameras not yet started are skipped. Close anyway?</translation>
    </message>
    <message>
        <source>%1 answered, %2 failed, %3 skipped</source>
        <translation>%1 answered, %2 failed, %3 skipped</translation>
    </message>
    <message>
        <source>%1 saved, %2 failed, %3 skipped</source>
        <translation>%1 saved, %2 failed, %3 skipped</translation>
    </message>
    <message>
        <source>, %1 up to date</source>
        <translation>, %1 up to date</translation>
    </message>
    <message>
        <source>, %1 done before</source>
        <translation>, %1 done before</translation>
    </message>
    <message>
        <source>up to date</source>
        <translation>up to date</translation>
    </message>
    <message>
        <source>done before</source>
        <translation>done before</translation>
    </message>
    <message>
        <source>answered</source>
        <translation>answered</translation>
    </message>
    <message>
        <source>saved</source>
        <translation>saved</translation>
    </message>
    <message>
        <source>already done</source>
        <translation>already done</translation>
    </message>
    <message>
        <source>version contains &quot;%1&quot;</source>
        <translation>version contains &quot;%1&quot;</translation>
    </message>
    <message>
        <source>%1 partitions</source>
        <translation>%1 partitions</translation>
    </message>
    <message>
        <source>saved as %1</source>
        <translation>saved as %1</translation>
    </message>
    <message>
        <source>interrupted: upgraded, not confirmed</source>
        <translation>interrupted: upgraded, not confirmed</translation>
    </message>
    <message>
        <source>stalled: no progress for %1 s</source>
        <translation>stalled: no progress for %1 s</translation>
    </message>
    <message>
        <source>interrupted</source>
        <translation>interrupted</translation>
    </message>
    <message>
        <source>Model</source>
        <translation>Model</translation>
    </message>
    <message>
        <source>any model</source>
        <translation>any model</translation>
    </message>
    <message>
        <source>other model</source>
        <translation>other model</translation>
    </message>
    <message>
        <source>, %1 other model</source>
        <translation>, %1 other model</translation>
    </message>
    <message>
        <source>its version names no model</source>
        <translation>its version names no model</translation>
    </message>
    <message>
        <source>model %1 was not chosen</source>
        <translation>model %1 was not chosen</translation>
    </message>
    <message>
        <source>%1% sent</source>
        <translation>%1% sent</translation>
    </message>
    <message>
        <source>%1% received</source>
        <translation>%1% received</translation>
    </message>
    <message>
        <source>rebooting (%1 left)</source>
        <translation>rebooting (%1 left)</translation>
    </message>
    <message>
        <source>now at %1 (was %2)</source>
        <translation>now at %1 (was %2)</translation>
    </message>
    <message>
        <source> (%1)</source>
        <translation> (%1)</translation>
    </message>
    <message>
        <source>stopped by the operator</source>
        <translation>stopped by the operator</translation>
    </message>
    <message>
        <source>stopped: the canary failed</source>
        <translation>stopped: the canary failed</translation>
    </message>
    <message>
        <source>Two rows would both go to %1: the latest search found a camera there. Remove one of them or search again.</source>
        <translation>Two rows would both go to %1: the latest search found a camera there. Remove one of them or search again.</translation>
    </message>
    <message>
        <source>These cameras are of several models (%1). Send %2 to every one of them? To upgrade one model only, choose it under Model.</source>
        <translation>These cameras are of several models (%1). Send %2 to every one of them? To upgrade one model only, choose it under Model.</translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>, </source>
        <translation>, </translation>
    </message>
    <message>
        <source>not known: %1</source>
        <translation>not known: %1</translation>
    </message>
    <message numerus="yes">
        <source>stopped: %n failure(s) reached the threshold</source>
        <translation>
            <numerusform>stopped: %n failure reached the threshold</numerusform>
            <numerusform>stopped: %n failures reached the threshold</numerusform>
        </translation>
    </message>
    <message>
        <source>The latest search found another camera (%1) at %2 and %3 nowhere. Remove its row or search again.</source>
        <translation>The latest search found another camera (%1) at %2 and %3 nowhere. Remove its row or search again.</translation>
    </message>
</context>
</TS>
