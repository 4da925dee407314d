# Sony SNC-VB630, a generation 6 box camera.
# Named keys describe how to reach the device; --address and the other options
# override them. Numbered lines are the device properties a capability query
# stores: 1 video standard (0 PAL, 1 NTSC), 2 generation, 3 firmware,
# 11 edge storage (1 on), 18 operation mode. The driver reads them from 1 up to
# the first missing one, so properties a camera lacks are stored as "(none)".
address=127.0.0.1
port=80
user=admin
password=admin
model=SNC-VB630
codec=h264
video-channels=1
inputs=1
outputs=1
1=0
2=6
3=1.10
4=(none)
5=(none)
6=(none)
7=(none)
8=(none)
9=(none)
10=(none)
11=0
