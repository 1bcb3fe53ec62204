#ifndef CONFIG_H
#define CONFIG_H

#define VOLUME 1

#endif
