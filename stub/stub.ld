/* The stub's section layout: the GNU linker's default for PE images with fewer sections,
 * since every section with file contents costs the padding up to the 512-byte file
 * alignment (a quarter of a kilobyte on average) and the loader needs no more than these:
 *   .text   code and read-only data: both are only read (and the data is never written), so
 *           they share the read-only, executable pages. The build packs this section
 *           (stub/pack-stub.py): the file keeps none of its bytes, and .boot restores them;
 *   .boot   the code that restores .text (stub/bootstrap.cpp, stub/unpack.cpp), then room
 *           for the packed stream, as large as .text, which the build fills and cuts to
 *           what it needs;
 *   .idata  the import tables, which the loader writes, and the initialised data behind
 *           them; the linker fills the import directory from the section of this name;
 *   .bss    zero-filled data, which takes no room in the file (.boot inflates the stream
 *           here before anything else uses it); it ends on an 8-byte boundary, where the
 *           packing places the data of the resources that only the running stub reads;
 *   .rsrc   the resources, then .reloc: the builder rewrites .rsrc, which only the base
 *           relocations may follow (tools/pe/peimage.h). The packing moves the relocations
 *           that remain into .boot and drops .reloc, so the packed stub ends with .rsrc.
 * .eh_frame is dropped: its unwind tables, from the compiler's run-time helpers, serve
 * exceptions and debuggers, and the stub throws none and ships without symbols. The start-up
 * code's constructor lists and thread-local storage do not exist without the C runtime's
 * start-up code, and a section of any other name that turns up is kept by the linker as a
 * section of its own, which the stub's image test would notice. */
OUTPUT_FORMAT(pei-i386)
SECTIONS
{
  . = SIZEOF_HEADERS;
  . = ALIGN(__section_alignment__);
  .text __image_base__ + __section_alignment__ :
  {
    __code_start__ = .;
    EXCLUDE_FILE(*bootstrap.cpp.obj *unpack.cpp.obj) *(.text)
    EXCLUDE_FILE(*bootstrap.cpp.obj *unpack.cpp.obj) *(SORT(.text$*))
    EXCLUDE_FILE(*bootstrap.cpp.obj *unpack.cpp.obj) *(.text.*)
    EXCLUDE_FILE(*bootstrap.cpp.obj *unpack.cpp.obj) *(.rdata)
    EXCLUDE_FILE(*bootstrap.cpp.obj *unpack.cpp.obj) *(SORT(.rdata$*))
    __code_end__ = .;
  }
  .boot BLOCK(__section_alignment__) :
  {
    *bootstrap.cpp.obj(.text .text$* .text.* .rdata .rdata$*)
    *unpack.cpp.obj(.text .text$* .text.* .rdata .rdata$*)
    . = ALIGN(4);
    __packed_code__ = .;
    . += __code_end__ - __code_start__;
  }
  .idata BLOCK(__section_alignment__) :
  {
    KEEP (SORT(*)(.idata$2))
    KEEP (SORT(*)(.idata$3))
    /* The null import descriptor that ends the list. */
    LONG (0); LONG (0); LONG (0); LONG (0); LONG (0);
    KEEP (SORT(*)(.idata$4))
    __IAT_start__ = .;
    KEEP (SORT(*)(.idata$5))
    __IAT_end__ = .;
    KEEP (SORT(*)(.idata$6))
    KEEP (SORT(*)(.idata$7))
    *(.data) *(SORT(.data$*))
  }
  .bss BLOCK(__section_alignment__) :
  {
    __bss_start__ = .;
    *(.bss) *(COMMON)
    . = ALIGN(8);
    __bss_end__ = .;
  }
  .rsrc BLOCK(__section_alignment__) : SUBALIGN(4)
  {
    KEEP (*(.rsrc)) KEEP (*(.rsrc$*))
  }
  .reloc BLOCK(__section_alignment__) :
  {
    *(.reloc)
  }
  /DISCARD/ :
  {
    *(.eh_frame*) *(.debug*) *(.drectve) *(.note.GNU-stack) *(.gnu.lto_*) *(.rdata$zzz)
  }
}
