/* Start-up of the firmware image: the exception vectors at the image's first byte, the
 * reset handler and the IRQ entry. The boot block in the flash's first 64 KiB has brought up
 * the clocks (PERCLK1 16.384 MHz for the timers and UARTs, PERCLK2 32.768 MHz for the LCD, SPI
 * and SD host) and the SDRAM, and jumps here in supervisor mode with the MMU off; from then on
 * this image owns the processor. */

    .syntax unified
    .arm

    .equ MODE_FIQ, 0x11
    .equ MODE_IRQ, 0x12
    .equ MODE_SVC, 0x13
    .equ MODE_ABT, 0x17
    .equ MODE_UND, 0x1B
    .equ NO_INTERRUPTS, 0xC0          /* I and F bits: both masked */

/* Absolute jumps only: the start-up maps this page at address 0 as well, where the
 * processor looks for its vectors. */
    .section .vectors, "ax"
    .global _vectors
_vectors:
    ldr pc, vector_reset
    ldr pc, vector_undefined
    ldr pc, vector_swi
    ldr pc, vector_prefetch_abort
    ldr pc, vector_data_abort
    ldr pc, vector_reset              /* reserved vector */
    ldr pc, vector_irq
    ldr pc, vector_fiq
vector_reset:          .word reset_handler
vector_undefined:      .word fault_undefined
vector_swi:            .word fault_swi
vector_prefetch_abort: .word fault_prefetch_abort
vector_data_abort:     .word fault_data_abort
vector_irq:            .word irq_entry
vector_fiq:            .word fault_fiq

    .text
    .global reset_handler
reset_handler:
    /* One stack per exception mode, each at the top of its area; interrupts stay masked. */
    msr cpsr_c, #(MODE_FIQ | NO_INTERRUPTS)
    ldr sp, =__stack_fiq_top
    msr cpsr_c, #(MODE_IRQ | NO_INTERRUPTS)
    ldr sp, =__stack_irq_top
    msr cpsr_c, #(MODE_ABT | NO_INTERRUPTS)
    ldr sp, =__stack_abt_top
    msr cpsr_c, #(MODE_UND | NO_INTERRUPTS)
    ldr sp, =__stack_und_top
    msr cpsr_c, #(MODE_SVC | NO_INTERRUPTS)
    ldr sp, =__stack_svc_top

    /* Initialised data from its copy in flash. */
    ldr r0, =__data_load
    ldr r1, =__data_start
    ldr r2, =__data_end
1:  cmp r1, r2
    ldrlo r3, [r0], #4
    strlo r3, [r1], #4
    blo 1b

    /* Everything else of the program's RAM starts at zero. */
    ldr r1, =__bss_start
    ldr r2, =__bss_end
    mov r3, #0
2:  cmp r1, r2
    strlo r3, [r1], #4
    blo 2b

    ldr r0, =__tls_base               /* the C library's thread-local block */
    bl _set_tls
    bl imx1_board_start               /* memory map, caches, interrupt controller */

    /* Constructors of static objects, if the compiler made any. */
    ldr r4, =__init_array_start
    ldr r5, =__init_array_end
3:  cmp r4, r5
    bhs 4f
    ldr r0, [r4], #4
    mov lr, pc
    bx r0
    b 3b

4:  bl main
    ldr r0, =msg_main_returned
    bl board_halt

/* IRQ: the firmware's dispatcher runs with IRQs masked (the processor masked them on entry)
 * and calls the handler of the pending source; the handler clears its source. */
    .global irq_entry
irq_entry:
    sub lr, lr, #4
    stmfd sp!, {r0-r3, r12, lr}
    bl irq_handler
    ldmfd sp!, {r0-r3, r12, pc}^

/* Faults have nothing to return to: the module stops, as for an unexpected interrupt. */
fault_undefined:      ldr r0, =msg_undefined
                      b fault
fault_swi:            ldr r0, =msg_swi
                      b fault
fault_prefetch_abort: ldr r0, =msg_prefetch_abort
                      b fault
fault_data_abort:     ldr r0, =msg_data_abort
                      b fault
fault_fiq:            ldr r0, =msg_fiq
fault:
    msr cpsr_c, #(MODE_SVC | NO_INTERRUPTS)
    ldr sp, =__stack_svc_top
    bl board_halt

    .section .rodata.startup, "a"
msg_main_returned:  .asciz "main returned"
msg_undefined:      .asciz "undefined instruction"
msg_swi:            .asciz "software interrupt"
msg_prefetch_abort: .asciz "prefetch abort"
msg_data_abort:     .asciz "data abort"
msg_fiq:            .asciz "fast interrupt"
