# Sony SNC-VB630, a generation 6 box camera.
# Named keys describe how to reach the device; --address and the other options
# override them. Numbered lines are the device properties a capability query
# stores: 1 video standard (0 PAL, 1 NTSC), 2 generation, 3 firmware,
# 11 edge storage (1 on), 18 operation mode.
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
11=0
